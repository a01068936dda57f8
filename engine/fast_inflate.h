// Raw-deflate decoders for sound data, several times faster than zlib's
// streaming inflate. An entry small enough to hold is decoded whole and
// handed out only once its stored size and CRC-32 are checked; a larger one
// is decoded as it is read, and its end tells whether the bytes handed out
// were the entry: when not, the caller reads the entry again with zlib from
// its start and writes its file anew. Either way salvaged bytes are the
// same whichever decoder ran.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CZipStorage;

// True when the build has a fast decoder and KVZIP_FAST_INFLATE is not 0.
// Tests and benchmarks switch it to compare both paths.
extern bool g_fastInflate;

// Whether the build has the fast decoders at all: for whole entries, and
// for entries too big to hold.
bool FastInflateBuilt();
bool StreamingInflateBuilt();

// CRC-32 of the ZIP format, continuing `crc`.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);

class CFastInflate {
public:
    // Entries up to this size, packed and unpacked, are decoded whole; the
    // two buffers stay allocated for the next entry.
    static constexpr std::uint64_t kMaxEntrySize = 4 << 20;

    CFastInflate();
    CFastInflate(const CFastInflate&) = delete;
    CFastInflate& operator=(const CFastInflate&) = delete;
    ~CFastInflate();

    // Takes on the `packed` bytes at `offset` of `storage`, which should
    // inflate to `unpacked` bytes with CRC-32 `crc`: a small entry is
    // decoded now and kept only when it does, a large one is decoded by
    // Serve. False leaves the entry to zlib. The storage's position is left
    // alone.
    bool Begin(CZipStorage& storage, std::uint64_t offset, std::uint64_t packed,
               std::uint64_t unpacked, std::uint32_t crc);
    // Hands out the next bytes of the entry; 0 when all are out, or when
    // Refused().
    std::uint32_t Serve(void* buffer, std::uint32_t size);
    bool Serving() const { return m_mode != Mode::none; }
    // The entry turned out not to inflate to what it should after some of
    // it was handed out: those bytes do not count.
    bool Refused() const { return m_refused; }
    // The CRC-32 of the bytes handed out so far.
    std::uint32_t ServedCrc() const { return m_servedCrc; }
    void Reset();
    // Frees the buffers (the decoders themselves stay).
    void Release();

private:
    enum class Mode { none, whole, streaming };

    bool DecodeWhole(std::uint64_t packed, std::uint64_t unpacked, std::uint32_t crc);
    bool BeginStream(std::uint64_t packed, std::uint64_t unpacked, std::uint32_t crc);
    std::uint32_t ServeWhole(void* buffer, std::uint32_t size);
    std::uint32_t ServeStream(void* buffer, std::uint32_t size);
    // Inflates into `out`; false when the stream is bad or its end says
    // the bytes were not the entry.
    bool Inflate(unsigned char* out, std::uint32_t room, std::uint32_t& produced);
    bool Refuse();

    CZipStorage* m_storage = nullptr;
    void* m_decompressor = nullptr;
    struct StreamState;
    std::unique_ptr<StreamState> m_stream;
    std::unique_ptr<unsigned char[]> m_in;
    std::unique_ptr<unsigned char[]> m_out;
    std::size_t m_inCapacity = 0;
    std::size_t m_outCapacity = 0;
    std::size_t m_outSize = 0;
    std::size_t m_served = 0;
    Mode m_mode = Mode::none;
    bool m_refused = false;
    std::uint32_t m_crc = 0;
    std::uint32_t m_servedCrc = 0;
    // Streaming: where the next packed bytes are read and how many are left
    // to read, and the bytes still to come out.
    std::uint64_t m_inOffset = 0;
    std::uint64_t m_inLeft = 0;
    std::uint64_t m_outLeft = 0;
};
