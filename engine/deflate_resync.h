// Salvage past a damaged stretch of deflated data. A deflate stream is a
// sequence of blocks, and the blocks after a damaged one are still there:
// after the straight decoding fails, the data is searched bit by bit for a
// block start that decodes a good distance, and decoding goes on from it
// with a window whose bytes before that point are unknown. Unknown bytes
// are written as zeros and counted, never guessed; nothing runs for an
// entry that decoded soundly.
#pragma once

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
    // Bytes after a lost stretch that copy from it (written as zeros). Past
    // 256 ranges the last one grows over known bytes too; the count is exact.
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
};

// How far the search for a block start may go.
struct ResyncLimits {
    // Compressed bytes past each failure.
    std::uint64_t searchBytes = 1 << 20;
    // All searches of one entry together.
    double seconds = 2.0;
};

using ResyncWrite = std::function<void(const unsigned char* data, std::size_t size)>;

// Data that decoded to its end "validly" while its CRC-32 differs: finds the
// damaged block when one block alone breaks the rhythm in which writers
// close blocks (after a fixed number of symbols). The site's sound bytes
// end where that block began, its written ones where the block ended.
// Nothing when no single block stands out.
std::optional<DamageSite> LocateSilentDamage(CZipStorage& storage, std::uint64_t dataStart,
                                             std::uint64_t dataSize, std::uint64_t size,
                                             const ResyncLimits& limits = {});

// Looks for decodable blocks after the damage in the `dataSize` compressed
// bytes at `dataStart` and hands what they give to `write`, appended to the
// `site.written` bytes already out: zeros for each lost stretch, then the
// bytes decoded, placed so that the last of them ends at the entry's size
// when that is known. Nothing is written when no block after the damage
// decodes. `found` is called once blocks are found, before anything is
// written; `stop` is asked between chunks.
std::optional<ResyncOutcome> SalvagePastDamage(CZipStorage& storage, std::uint64_t dataStart,
                                               std::uint64_t dataSize, const DamageSite& site,
                                               const ResyncWrite& write,
                                               const std::function<void()>& found,
                                               const std::function<bool()>& stop,
                                               const ResyncLimits& limits = {});
