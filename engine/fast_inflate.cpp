#include "engine/fast_inflate.h"

#include "engine/zip_storage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#ifdef KVZIP_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

bool FastInflateWanted() {
#ifdef KVZIP_HAVE_LIBDEFLATE
    const char* setting = std::getenv("KVZIP_FAST_INFLATE");
    return setting == nullptr || std::strcmp(setting, "0") != 0;
#else
    return false;
#endif
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

bool CFastInflate::Decode(CZipStorage& storage, std::uint64_t offset, std::uint64_t packed,
                          std::uint64_t unpacked, std::uint32_t crc) {
    m_serving = false;
#ifdef KVZIP_HAVE_LIBDEFLATE
    if (packed == 0 || packed > kMaxEntrySize || unpacked > kMaxEntrySize)
        return false;
    if (m_decompressor == nullptr) {
        m_decompressor = libdeflate_alloc_decompressor();
        if (m_decompressor == nullptr)
            return false;
    }
    Reserve(m_in, m_inCapacity, packed);
    Reserve(m_out, m_outCapacity, std::max<std::uint64_t>(unpacked, 1));
    // A short read (the archive ends inside the data) is zlib's to salvage.
    if (storage.ReadAt(offset, m_in.get(), packed) != packed)
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
    m_served = 0;
    m_serving = true;
    return true;
#else
    (void)storage;
    (void)offset;
    (void)packed;
    (void)unpacked;
    (void)crc;
    return false;
#endif
}

std::uint32_t CFastInflate::Serve(void* buffer, std::uint32_t size) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(size, m_outSize - m_served));
    std::memcpy(buffer, m_out.get() + m_served, n);
    m_served += n;
    return n;
}

void CFastInflate::Release() {
    m_serving = false;
    m_in.reset();
    m_out.reset();
    m_inCapacity = m_outCapacity = 0;
}
