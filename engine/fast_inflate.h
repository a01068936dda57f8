// A whole-entry raw-deflate decoder for sound data, several times faster
// than zlib's streaming inflate. It only ever hands out output it has
// checked against the entry's stored size and CRC-32; anything else (bad or
// cut data, an entry too big to hold) is left to zlib, so that salvaged
// bytes are the same whichever decoder ran.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CZipStorage;

// True when the build has the fast decoder and KVZIP_FAST_INFLATE is not 0.
// Tests and benchmarks switch it to compare both paths.
extern bool g_fastInflate;

// Whether the build has the fast decoder at all.
bool FastInflateBuilt();

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

    // Decodes the `packed` bytes at `offset` of `storage` into a buffer and
    // keeps the result only when the stream ends exactly at `unpacked`
    // bytes with CRC-32 `crc`. The storage's position is left alone.
    bool Decode(CZipStorage& storage, std::uint64_t offset, std::uint64_t packed,
                std::uint64_t unpacked, std::uint32_t crc);
    // Copies the next bytes of a decoded entry; 0 when all are out.
    std::uint32_t Serve(void* buffer, std::uint32_t size);
    bool Serving() const { return m_serving; }
    void Reset() { m_serving = false; }
    // Frees the buffers (the decoder itself stays).
    void Release();

private:
    void* m_decompressor = nullptr;
    std::unique_ptr<unsigned char[]> m_in;
    std::unique_ptr<unsigned char[]> m_out;
    std::size_t m_inCapacity = 0;
    std::size_t m_outCapacity = 0;
    std::size_t m_outSize = 0;
    std::size_t m_served = 0;
    bool m_serving = false;
};
