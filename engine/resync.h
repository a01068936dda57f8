// Salvage past damage, whatever the method: a compressed stream made of
// blocks keeps the blocks after a damaged one, and what they decode to is
// written where it belongs in the entry, after zeros for the stretch that
// was lost. The search for those blocks is the method's own; placing them,
// writing them and saying what came back is shared.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class CZipStorage;

struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// What decoding past the damage came to.
struct ResyncOutcome {
    // Bytes decoded from the archive and written: before the damage and
    // after it.
    std::uint64_t recovered = 0;
    // Stretches nothing sound could be decoded for: zeros, after what the
    // damaged block gave before it failed (kept, as it may be right up to
    // the damage).
    std::vector<ByteRange> lost;
    // Bytes after a lost stretch that copy from it: zeros, or, where the
    // stream decoded in line past the damage, the bytes the damaged block
    // gave there, which only that decoding vouches for. Past 256 ranges the
    // last one grows over known bytes too; the count is exact.
    std::vector<ByteRange> unknown;
    std::uint64_t unknownBytes = 0;
    // The entry's size was not known (or the data after the damage does not
    // reach its end): what follows a lost stretch stands where the
    // compressed data suggests, not necessarily where it belongs.
    bool estimated = false;
};

// Where the straight decoding began a block: in bits of the compressed
// data, and in bytes out.
struct BlockStart {
    std::uint64_t bit = 0;
    std::uint64_t out = 0;
    // The CRC-32 of the bytes out before it, where the decoder keeps it.
    std::uint32_t crc = 0;
};

// Where the straight decoding of an entry failed, and what it wrote.
struct DamageSite {
    // The last blocks the straight decoding began, the one that failed last.
    // Damage often decodes "validly" for a while and ends in a misread
    // end-of-block: the blocks after it are then no blocks of the stream.
    // From these the damaged block is worked out; without them `blockBit`
    // and `sound` say where it began.
    std::vector<BlockStart> recent;
    // Bits from the start of the compressed data: where the damaged block
    // began, and how far the decoder had read.
    std::uint64_t blockBit = 0;
    std::uint64_t failBit = 0;
    // Bytes written before the failure, and the last of them (up to 32 KiB);
    // those before the block that failed are sound, the rest may be wrong.
    std::uint64_t written = 0;
    std::uint64_t sound = 0;
    std::vector<unsigned char> history;
    // The entry's uncompressed size, when a record gives it.
    std::optional<std::uint64_t> size;
    // The compressed data ends exactly where the stream must (its size is
    // known, not guessed from the next header).
    bool exactEnd = true;
    // The CRC-32 of the bytes written (filled in by LocateSilentDamage).
    std::uint32_t writtenCrc = 0;
    // The damage decoded "validly" and the decoder kept in step past it: the
    // blocks after the damaged one begin at `failBit`, and `history` ends
    // where their bytes begin in that decoding. A byte they copy from the
    // damaged block is then the one that decoding gave as many bytes back,
    // right unless its source lies before the damage itself.
    bool inStep = false;
};

// How far the search for a block start may go.
struct ResyncLimits {
    // Compressed bytes past each failure.
    std::uint64_t searchBytes = 1 << 20;
    // All searches of one entry together.
    double seconds = 2.0;

    // When the searches that begin now must end.
    std::chrono::steady_clock::time_point Deadline() const {
        return std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(seconds));
    }
};

using ResyncWrite = std::function<void(const unsigned char* data, std::size_t size)>;

// An entry's compressed data, read through a buffer by the searches. Only
// what the archive holds: a cut archive ends its data early.
class CompressedBytes {
public:
    CompressedBytes(CZipStorage& storage, std::uint64_t start, std::uint64_t size);

    std::uint64_t Size() const { return m_size; }
    std::uint64_t Bits() const { return m_size * 8; }
    // The byte at `offset`; zero past the data.
    unsigned char At(std::uint64_t offset) {
        if (offset < m_at || offset >= m_at + m_length)
            Fill(offset);
        return m_length == 0 ? 0 : m_buffer[offset - m_at];
    }
    // Up to `count` bytes from `offset` on: fewer at the data's end.
    std::size_t Read(std::uint64_t offset, unsigned char* out, std::size_t count);

private:
    void Fill(std::uint64_t offset);

    CZipStorage& m_storage;
    std::uint64_t m_start;
    std::uint64_t m_size;
    std::vector<unsigned char> m_buffer = std::vector<unsigned char>(1 << 16);
    std::uint64_t m_at = 0;
    std::size_t m_length = 0;
};

// A run of blocks that decoded after a search.
struct ResyncSegment {
    // Where its first block begins, in bits of the compressed data.
    std::uint64_t startBit = 0;
    // Compressed bits skipped before it: from the failure before it.
    std::uint64_t skippedBits = 0;
    std::uint64_t length = 0;
    // Bytes before the block that failed: all of them when it reached the end.
    std::uint64_t sound = 0;
    // It ended with the stream's end, not with a failure.
    bool reachedEnd = false;
};

// Writes the bytes of `segment` from its `skip`th on (the ones before are
// already out), counting in `outcome` those it vouches for. `exact`: the
// segment stands where it belongs, at `place`.
using SegmentWriter = std::function<void(const ResyncSegment& segment, std::uint64_t place,
                                         std::uint64_t skip, bool exact, ResyncOutcome& outcome)>;

// Lays the segments found after the damage out after the `site.written`
// bytes already out: the last one, when it reaches the stream's end and the
// size is known, ends at that size; zeros fill the stretches between, which
// the outcome lists as lost; `writeSegment` writes each segment's bytes.
// A size is not believed when the compressed bytes skipped could not have
// filled the gap it leaves, at the method's `mostBytesPerByte`. `stop` is
// asked between segments.
ResyncOutcome LayOutSegments(const DamageSite& site, const std::vector<ResyncSegment>& segments,
                             std::uint64_t mostBytesPerByte, const ResyncWrite& write,
                             const std::function<bool()>& stop, const SegmentWriter& writeSegment);
