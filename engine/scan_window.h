// A read-ahead window over an archive for the recovery scan. Its results are
// those of a positioned read at every offset; it only saves the system calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class CZipStorage;

class CScanWindow {
public:
    CScanWindow(CZipStorage& storage, std::uint64_t fileLength);

    std::uint64_t FileLength() const { return m_fileLength; }

    // First offset in [from, limit) where the four signature bytes lie in the
    // file; `limit` when there is none.
    std::uint64_t Find(std::uint64_t from, std::uint64_t limit,
                       const std::array<unsigned char, 4>& signature);

    // Calls `visit(offset)` at every place of the signature in the file, in
    // order; the lazy indexes of the scan are built by this one walk.
    template <class Visit>
    void ForEachSignature(const std::array<unsigned char, 4>& signature, Visit visit) {
        const std::uint64_t length = FileLength();
        for (std::uint64_t pos = Find(0, length, signature); pos < length;
             pos = Find(pos + 1, length, signature))
            visit(pos);
    }

    // Up to `count` bytes at `offset`; fewer at the end of the file.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count);

    // Moves the window, if need be, so that it holds the `count` bytes at
    // `offset`: where a step lands, the walk goes on reading.
    void Cover(std::uint64_t offset, std::size_t count);

    // The end of the file, or the signature of a record that can follow an
    // entry: local or central header, descriptor, the end records and the
    // archive's own extra data or signature.
    bool RecordBeginsAt(std::uint64_t offset);
    // A record begins where data ending at `end` does, or after the
    // descriptor (12 to 24 bytes) that may follow it.
    bool RecordFollows(std::uint64_t end);

private:
    // Makes the window start at `offset`.
    void Fill(std::uint64_t offset);

    CZipStorage& m_storage;
    std::uint64_t m_fileLength;
    // Allocated on the first read, not cleared: most scans of a small file
    // touch only the start of it.
    std::unique_ptr<unsigned char[]> m_buffer;
    std::uint64_t m_start = 0;
    std::size_t m_filled = 0;
};
