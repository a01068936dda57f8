#include "engine/fast_inflate.h"

#include "engine/zip_storage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#ifdef KVZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#ifdef KVZIP_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#ifdef KVZIP_HAVE_ISAL
struct CFastInflate::StreamState {
    inflate_state state;
};
#else
struct CFastInflate::StreamState {};
#endif

namespace {

// Packed bytes read at a time by the streaming decoder: few system calls,
// and the buffer stays small next to the output chunk.
constexpr std::size_t kStreamInput = 1 << 20;

bool FastInflateWanted() {
    if (!FastInflateBuilt() && !StreamingInflateBuilt())
        return false;
    const char* setting = std::getenv("KVZIP_FAST_INFLATE");
    return setting == nullptr || std::strcmp(setting, "0") != 0;
}

// Grows `buffer` to hold `size` bytes, without clearing them.
void Reserve(std::unique_ptr<unsigned char[]>& buffer, std::size_t& capacity, std::size_t size) {
    if (capacity >= size)
        return;
    buffer.reset();
    buffer = std::make_unique_for_overwrite<unsigned char[]>(size);
    capacity = size;
}

} // namespace

bool g_fastInflate = FastInflateWanted();

bool FastInflateBuilt() {
#ifdef KVZIP_HAVE_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

bool StreamingInflateBuilt() {
#ifdef KVZIP_HAVE_ISAL
    return true;
#else
    return false;
#endif
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
#ifdef KVZIP_HAVE_LIBDEFLATE
    return libdeflate_crc32(crc, data, size);
#else
    const auto* bytes = static_cast<const Bytef*>(data);
    // zlib takes at most 4 GiB at a time.
    while (size > 0) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, bytes, n));
        bytes += n;
        size -= n;
    }
    return crc;
#endif
}

CFastInflate::CFastInflate() = default;

CFastInflate::~CFastInflate() {
#ifdef KVZIP_HAVE_LIBDEFLATE
    if (m_decompressor != nullptr)
        libdeflate_free_decompressor(static_cast<libdeflate_decompressor*>(m_decompressor));
#endif
}

bool CFastInflate::Begin(CZipStorage& storage, std::uint64_t offset, std::uint64_t packed,
                         std::uint64_t unpacked, std::uint32_t crc) {
    Reset();
    m_storage = &storage;
    m_inOffset = offset;
    m_crc = crc;
    if (packed == 0)
        return false;
    // Small entries are checked before any byte is handed out; an entry the
    // whole decoder turns down is damaged, and zlib's to salvage.
    if (FastInflateBuilt() && packed <= kMaxEntrySize && unpacked <= kMaxEntrySize)
        return DecodeWhole(packed, unpacked, crc);
    return StreamingInflateBuilt() && BeginStream(packed, unpacked, crc);
}

bool CFastInflate::DecodeWhole(std::uint64_t packed, std::uint64_t unpacked, std::uint32_t crc) {
#ifdef KVZIP_HAVE_LIBDEFLATE
    if (m_decompressor == nullptr) {
        m_decompressor = libdeflate_alloc_decompressor();
        if (m_decompressor == nullptr)
            return false;
    }
    Reserve(m_in, m_inCapacity, packed);
    Reserve(m_out, m_outCapacity, std::max<std::uint64_t>(unpacked, 1));
    // A short read (the archive ends inside the data) is zlib's to salvage.
    if (m_storage->ReadAt(m_inOffset, m_in.get(), packed) != packed)
        return false;
    std::size_t consumed = 0;
    std::size_t produced = 0;
    const libdeflate_result result = libdeflate_deflate_decompress_ex(
        static_cast<libdeflate_decompressor*>(m_decompressor), m_in.get(), packed, m_out.get(),
        unpacked, &consumed, &produced);
    // The decoder is laxer than zlib in places (it takes some incomplete
    // Huffman codes); the stored sizes and CRC make sure that what it hands
    // out is the data the writer packed, which zlib yields too. A stream
    // that ends before its stored size (bytes after it) is left to zlib too,
    // which reads those bytes its own way.
    if (result != LIBDEFLATE_SUCCESS || consumed != packed || produced != unpacked ||
        Crc32(0, m_out.get(), produced) != crc)
        return false;
    m_outSize = produced;
    m_mode = Mode::whole;
    return true;
#else
    (void)packed;
    (void)unpacked;
    (void)crc;
    return false;
#endif
}

bool CFastInflate::BeginStream(std::uint64_t packed, std::uint64_t unpacked, std::uint32_t crc) {
#ifdef KVZIP_HAVE_ISAL
    (void)crc;
    // Data cut short by the end of the archive is zlib's to salvage.
    const std::uint64_t length = m_storage->GetLength();
    if (packed > length || m_inOffset > length - packed)
        return false;
    if (m_stream == nullptr)
        m_stream = std::make_unique<StreamState>();
    isal_inflate_init(&m_stream->state);
    Reserve(m_in, m_inCapacity, std::min<std::uint64_t>(packed, kStreamInput));
    m_inLeft = packed;
    m_outLeft = unpacked;
    m_mode = Mode::streaming;
    return true;
#else
    (void)packed;
    (void)unpacked;
    (void)crc;
    return false;
#endif
}

std::uint32_t CFastInflate::Serve(void* buffer, std::uint32_t size) {
    switch (m_mode) {
    case Mode::whole:
        return ServeWhole(buffer, size);
    case Mode::streaming:
        return ServeStream(buffer, size);
    case Mode::none:
        break;
    }
    return 0;
}

std::uint32_t CFastInflate::ServeWhole(void* buffer, std::uint32_t size) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(size, m_outSize - m_served));
    std::memcpy(buffer, m_out.get() + m_served, n);
    m_served += n;
    // The whole entry's CRC-32 is known already: only a part handed out
    // alone needs one of its own.
    m_servedCrc = m_served == m_outSize ? m_crc : Crc32(m_servedCrc, buffer, n);
    return n;
}

std::uint32_t CFastInflate::ServeStream(void* buffer, std::uint32_t size) {
    std::uint32_t produced = 0;
    if (!Inflate(static_cast<unsigned char*>(buffer), size, produced)) {
        Refuse();
        return 0;
    }
    return produced;
}

bool CFastInflate::Inflate(unsigned char* out, std::uint32_t room, std::uint32_t& produced) {
#ifdef KVZIP_HAVE_ISAL
    inflate_state& state = m_stream->state;
    unsigned char spare = 0;
    produced = 0;
    while (state.block_state != ISAL_BLOCK_FINISH) {
        if (produced == room && m_outLeft > 0)
            return true;
        // With all input read, the bits the decoder holds may still end
        // the stream; if they cannot, the call below makes no headway.
        if (state.avail_in == 0 && m_inLeft > 0) {
            const auto ask =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(m_inLeft, kStreamInput));
            if (m_storage->ReadAt(m_inOffset, m_in.get(), ask) != ask)
                return false;
            m_inOffset += ask;
            m_inLeft -= ask;
            state.next_in = m_in.get();
            state.avail_in = ask;
        }
        // Once the stored size is out, one byte of room is left only to
        // show a stream that goes on.
        const bool past = m_outLeft == 0;
        state.next_out = past ? &spare : out + produced;
        state.avail_out =
            past ? 1
                 : static_cast<std::uint32_t>(std::min<std::uint64_t>(room - produced, m_outLeft));
        const std::uint32_t roomBefore = state.avail_out;
        const std::uint32_t inBefore = state.avail_in;
        const std::int32_t bitsBefore = state.read_in_length;
        const isal_block_state stageBefore = state.block_state;
        if (isal_inflate(&state) != ISAL_DECOMP_OK)
            return false;
        const std::uint32_t n = roomBefore - state.avail_out;
        if (past && n > 0)
            return false;
        // No headway: the stream needs more than its stored size.
        if (n == 0 && state.avail_in == inBefore && state.read_in_length == bitsBefore &&
            state.block_state == stageBefore)
            return false;
        m_servedCrc = Crc32(m_servedCrc, out + produced, n);
        produced += n;
        m_outLeft -= n;
    }
    // The stream has ended: at exactly the stored sizes, with the stored
    // CRC-32, or the bytes were not the entry.
    const std::uint64_t unused =
        state.avail_in + static_cast<std::uint32_t>(state.read_in_length) / 8;
    return m_outLeft == 0 && m_inLeft == 0 && unused == 0 && m_servedCrc == m_crc;
#else
    (void)out;
    (void)room;
    produced = 0;
    return false;
#endif
}

bool CFastInflate::Refuse() {
    m_mode = Mode::none;
    m_refused = true;
    return false;
}

void CFastInflate::Reset() {
    m_mode = Mode::none;
    m_refused = false;
    m_outSize = 0;
    m_served = 0;
    m_servedCrc = 0;
    m_inLeft = 0;
    m_outLeft = 0;
}

void CFastInflate::Release() {
    Reset();
    m_stream.reset();
    m_in.reset();
    m_out.reset();
    m_inCapacity = m_outCapacity = 0;
}
