#include "engine/deflate_resync.h"

#include "engine/deflate_blocks.h"
#include "engine/fast_inflate.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kWindow = 32768;
// Unknown ranges listed for the report; past them the last range grows
// over what follows, known bytes and all, so that every byte outside the
// ranges stays vouched for. The count of unknown bytes stays exact.
constexpr std::size_t kMostRanges = 256;

// Counts what blocks would produce, without keeping it.
struct CountSink {
    std::uint64_t count = 0;
    std::uint64_t limit = kNoLimit;

    bool Literal(unsigned char) { return ++count <= limit; }
    bool Copy(std::uint32_t, std::uint32_t length) {
        count += length;
        return count <= limit;
    }
    bool Stored(DeflateBits& bits, std::uint32_t length) {
        bits.Seek(bits.Position() + std::uint64_t{length} * 8);
        count += length;
        return count <= limit;
    }
};

// Counts symbols as well as bytes: how long a block truly is, and
// the rhythm of a writer's blocks.
struct SymbolSink : CountSink {
    std::uint64_t symbols = 0;
    std::uint64_t copies = 0;
    bool Literal(unsigned char byte) {
        ++symbols;
        return CountSink::Literal(byte);
    }
    bool Copy(std::uint32_t distance, std::uint32_t length) {
        ++symbols;
        ++copies;
        return CountSink::Copy(distance, length);
    }
};

using Segment = ResyncSegment;

class Searcher {
public:
    Searcher(DeflateBits& bits, const DamageSite& site, const ResyncLimits& limits)
        : m_bits(bits), m_site(site), m_limits(limits), m_deadline(limits.Deadline()) {}

    // Every segment that decodes after the damage, searching again after
    // each further failure until the data, the bound or the time runs out.
    std::vector<Segment> FindSegments() {
        std::vector<Segment> segments;
        std::uint64_t from = m_site.blockBit + 1;
        std::uint64_t failBit = m_site.failBit;
        // What the blocks after the damage may still give: the bytes after
        // the sound ones, as far as the size goes.
        std::uint64_t total = m_site.sound;
        for (;;) {
            const std::uint64_t bound =
                std::min(m_bits.SizeBits(), failBit + m_limits.searchBytes * 8);
            const std::optional<std::uint64_t> start = Search(from, bound);
            if (!start)
                break;
            Segment segment;
            segment.startBit = *start;
            segment.skippedBits = *start > failBit ? *start - failBit : 0;
            std::uint64_t failedBlock = 0;
            const std::uint64_t room =
                m_site.size ? *m_site.size - std::min(*m_site.size, total) : kNoLimit;
            Measure(segment, failedBlock, failBit, room);
            segments.push_back(segment);
            total += segment.length;
            if (segment.reachedEnd)
                break;
            from = failedBlock + 1;
        }
        return segments;
    }

private:
    // The first bit in [from, bound) where blocks decode a good distance.
    std::optional<std::uint64_t> Search(std::uint64_t from, std::uint64_t bound) {
        for (std::uint64_t bit = from; bit < bound; ++bit) {
            if ((bit & 4095) == 0 && std::chrono::steady_clock::now() > m_deadline)
                return std::nullopt;
            if (Trusted(bit))
                return bit;
        }
        return std::nullopt;
    }

    // A block start is trusted when at least two whole blocks decode from it,
    // ending in end-of-block, followed by another valid header, and one of
    // them proves itself: a stored block (its length and complement agree) or
    // a block with codes of its own and at least kTrustSymbols symbols. Or
    // when its blocks run to the final block's end at the end of the data.
    // Random bits pass a fixed-code header one time in four and decode to
    // garbage blocks often enough: fixed-code blocks alone prove nothing.
    bool Trusted(std::uint64_t bit) {
        constexpr std::uint64_t kTrustSymbols = 256;
        constexpr int kMostBlocks = 64;
        m_bits.Seek(bit);
        SymbolSink sink;
        if (m_site.size)
            sink.limit = *m_site.size;
        bool proven = false;
        for (int blocks = 0; blocks < kMostBlocks; ++blocks) {
            BlockHeader& header = m_header;
            if (!ReadBlockHeader(m_bits, header))
                return false;
            if (blocks >= 2 && proven)
                return true;
            const std::uint64_t symbols = sink.symbols;
            if (DecodeBlockBody(m_bits, header, sink) != BodyEnd::endOfBlock)
                return false;
            proven = proven || header.type == 0 ||
                     (header.type == 2 && sink.symbols - symbols >= kTrustSymbols);
            // A dynamic header that is whole is rare in random bits.
            if (header.final)
                return EndsWithData(proven || header.type != 1);
        }
        return false;
    }

    // The final block ends where the data does: in its last byte, or, when
    // the data's end was only guessed from the next header, before it and
    // at most a descriptor's length from it. Garbage blocks end in the last
    // byte often enough over many tries: a fixed-code block alone proves
    // nothing, and data the archive cuts short has no end to meet.
    bool EndsWithData(bool proven) const {
        constexpr std::uint64_t kDescriptorRoom = 24;
        const std::uint64_t endByte = (m_bits.Position() + 7) / 8;
        const std::uint64_t size = m_bits.SizeBits() / 8;
        if (!proven || m_bits.Cut())
            return false;
        if (m_site.exactEnd)
            return endByte == size;
        return endByte <= size && size - endByte <= kDescriptorRoom;
    }

    // Decodes from the segment's start until the final block ends or a
    // block fails (`failedBlock`, `failBit`: where that block began and
    // where it failed); the bytes a failing block gave count, as they do
    // for the straight decoding.
    void Measure(Segment& segment, std::uint64_t& failedBlock, std::uint64_t& failBit,
                 std::uint64_t room) {
        m_bits.Seek(segment.startBit);
        CountSink sink;
        sink.limit = room;
        for (;;) {
            failedBlock = m_bits.Position();
            segment.sound = std::min(sink.count, room);
            BlockHeader& header = m_header;
            const bool valid = ReadBlockHeader(m_bits, header);
            const BodyEnd end = valid ? DecodeBlockBody(m_bits, header, sink) : BodyEnd::invalid;
            if (end != BodyEnd::endOfBlock) {
                failBit = m_bits.Position();
                segment.length = std::min(sink.count, room);
                return;
            }
            if (header.final) {
                segment.length = sink.count;
                segment.sound = sink.count;
                segment.reachedEnd = true;
                return;
            }
        }
    }

    DeflateBits& m_bits;
    const DamageSite& m_site;
    const ResyncLimits& m_limits;
    std::chrono::steady_clock::time_point m_deadline;
    BlockHeader m_header;
};

// Decodes a segment again, now that its place is known, into bytes for the
// output: window cells hold a byte or kUnknown, and references that reach
// before the segment take the bytes written before the damage when the
// segment's place is exact.
class CellSink {
public:
    static constexpr std::uint16_t kUnknown = 256;
    // A byte that copies from the damaged block as the decoding in step
    // with it gave it: written, counted as unknown.
    static constexpr std::uint16_t kInStep = 512;

    CellSink(const DamageSite& site, std::uint64_t place, bool exact, std::uint64_t skip,
             const Segment& segment, ResyncOutcome& outcome, const ResyncWrite& write)
        : m_site(site), m_place(place), m_exact(exact), m_skip(skip), m_length(segment.length),
          m_sound(segment.sound), m_inStep(site.inStep && segment.startBit == site.failBit),
          m_outcome(outcome), m_write(write) {}

    bool Literal(unsigned char byte) { return Put(byte); }
    bool Copy(std::uint32_t distance, std::uint32_t length) {
        for (std::uint32_t i = 0; i < length; ++i)
            if (!Put(Cell(distance)))
                return false;
        return true;
    }
    bool Stored(DeflateBits& bits, std::uint32_t length) {
        std::array<unsigned char, 4096> bytes;
        while (length > 0) {
            const std::uint32_t run = std::min<std::uint32_t>(length, bytes.size());
            bits.TakeBytes(bytes.data(), run);
            length -= run;
            // Stored bytes are all known: a run that lies wholly inside what
            // is written goes in one piece.
            if (m_out.size() - m_pending < run)
                Flush();
            if (m_position >= m_skip && m_position + run <= m_length) {
                for (std::uint32_t i = 0; i < run; ++i)
                    m_window[(m_position + i) % kWindow] = bytes[i];
                std::memcpy(m_out.data() + m_pending, bytes.data(), run);
                m_pending += run;
                m_position += run;
                if (m_position <= m_sound)
                    m_outcome.recovered += run;
                else if (m_position - run < m_sound)
                    m_outcome.recovered += m_sound - (m_position - run);
                if (m_pending == m_out.size())
                    Flush();
                continue;
            }
            for (std::uint32_t i = 0; i < run; ++i)
                if (!Put(bytes[i]))
                    return false;
        }
        return true;
    }
    bool Done() const { return m_position >= m_length; }
    void Flush() {
        if (m_pending > 0)
            m_write(m_out.data(), m_pending);
        m_pending = 0;
    }

private:
    std::uint16_t Cell(std::uint32_t distance) const {
        if (distance <= m_position)
            return m_window[(m_position - distance) % kWindow];
        const std::uint64_t before = distance - m_position;
        const std::uint64_t kept = m_site.history.size();
        if (m_exact && before <= m_place) {
            const std::uint64_t at = m_place - before;
            // Only bytes before the block that failed are vouched for.
            if (at < m_site.sound && m_site.written - at <= kept)
                return m_site.history[kept - (m_site.written - at)];
        }
        if (m_inStep && before <= kept)
            return kInStep | m_site.history[kept - before];
        return kUnknown;
    }

    bool Put(std::uint16_t cell) {
        if (m_position >= m_length)
            return false;
        m_window[m_position % kWindow] = cell;
        if (m_position >= m_skip) {
            if (cell == kUnknown || (cell & kInStep) != 0)
                CountUnknown(m_place + m_position);
            else if (m_position < m_sound)
                ++m_outcome.recovered;
            m_out[m_pending++] = static_cast<unsigned char>(cell & 0xFF);
            if (m_pending == m_out.size())
                Flush();
        }
        ++m_position;
        return true;
    }

    void CountUnknown(std::uint64_t at) {
        ++m_outcome.unknownBytes;
        std::vector<ByteRange>& ranges = m_outcome.unknown;
        if (ranges.size() < kMostRanges &&
            (ranges.empty() || ranges.back().offset + ranges.back().length < at))
            ranges.push_back({at, 1});
        else
            ranges.back().length = at + 1 - ranges.back().offset;
    }

    const DamageSite& m_site;
    std::uint64_t m_place;
    bool m_exact;
    std::uint64_t m_skip;
    std::uint64_t m_length;
    std::uint64_t m_sound;
    bool m_inStep;
    ResyncOutcome& m_outcome;
    const ResyncWrite& m_write;
    std::uint64_t m_position = 0;
    std::array<std::uint16_t, kWindow> m_window{};
    std::array<unsigned char, 65536> m_out;
    std::size_t m_pending = 0;
};

// Decodes with every byte known, keeping the last 32 KiB and the CRC-32.
struct ByteSink {
    std::vector<unsigned char> window = std::vector<unsigned char>(kWindow);
    std::uint64_t count = 0;
    std::uint32_t crc = 0;
    std::array<unsigned char, 65536> pending;
    std::size_t waiting = 0;

    bool Put(unsigned char byte) {
        window[count++ % kWindow] = byte;
        pending[waiting++] = byte;
        if (waiting == pending.size())
            Flush();
        return true;
    }
    void Flush() {
        crc = Crc32(crc, pending.data(), waiting);
        waiting = 0;
    }
    bool Literal(unsigned char byte) { return Put(byte); }
    bool Copy(std::uint32_t distance, std::uint32_t length) {
        if (distance > count)
            return false;
        for (std::uint32_t i = 0; i < length; ++i)
            Put(window[(count - distance) % kWindow]);
        return true;
    }
    bool Stored(DeflateBits& bits, std::uint32_t length) {
        for (std::uint32_t i = 0; i < length; ++i)
            Put(static_cast<unsigned char>(bits.Take(8)));
        return true;
    }
    std::vector<unsigned char> History() const {
        std::vector<unsigned char> out;
        const std::uint64_t kept = std::min<std::uint64_t>(count, kWindow);
        for (std::uint64_t at = count - kept; at < count; ++at)
            out.push_back(window[at % kWindow]);
        return out;
    }
};

struct BlockMark {
    std::uint64_t bit = 0;
    std::uint64_t out = 0;
    std::uint64_t symbols = 0;
    std::uint64_t copies = 0;
    bool coded = false; // not stored: its symbols count
};

// Where writers close a block: when a buffer of 16,384 or 32,768 symbols
// is full but one, or its 32,768 copies are; at a multiple of 4,096 symbols
// where a writer checks whether a block is worth closing early; or at the
// count most blocks of the entry share, when there are enough to tell.
bool InRhythm(const BlockMark& block, std::optional<std::uint64_t> usual) {
    const std::uint64_t symbols = block.symbols;
    return symbols == usual || symbols % 4096 == 0 || symbols == 16383 || symbols == 32767 ||
           block.copies == 32768;
}

// The block the damage is in, among the straight decoding's last blocks.
// The block that failed is the damaged one when it gave bytes before it
// failed; when it failed in its header, it is likely no block at all but
// what followed a misread end-of-block, and the block before it is
// damaged. Before that, blocks with fixed codes are passed over too: real
// streams of any size rarely have them, while a misread header that passes
// is one in most cases.
void ResolveDamagedBlock(DeflateBits& bits, DamageSite& site) {
    if (site.recent.empty())
        return;
    std::size_t at = site.recent.size() - 1;
    if (at > 0 && site.recent[at].out >= site.written)
        --at;
    BlockHeader header;
    while (at > 0) {
        bits.Seek(site.recent[at].bit);
        if (!ReadBlockHeader(bits, header) || header.type != 1)
            break;
        --at;
    }
    site.blockBit = site.recent[at].bit;
    site.sound = std::min(site.recent[at].out, site.written);
}

} // namespace

std::optional<DamageSite> LocateSilentDamage(CZipStorage& storage, std::uint64_t dataStart,
                                             std::uint64_t dataSize, std::uint64_t size,
                                             const ResyncLimits& limits) {
    const auto deadline = limits.Deadline();
    DeflateBits bits(storage, dataStart, dataSize);
    std::vector<BlockMark> blocks;
    SymbolSink sink;
    BlockHeader header;
    for (;;) {
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        BlockMark mark{bits.Position(), sink.count, sink.symbols, sink.copies, false};
        if (!ReadBlockHeader(bits, header) ||
            DecodeBlockBody(bits, header, sink) != BodyEnd::endOfBlock)
            return std::nullopt;
        mark.symbols = sink.symbols - mark.symbols;
        mark.copies = sink.copies - mark.copies;
        mark.coded = header.type != 0;
        blocks.push_back(mark);
        if (header.final)
            break;
    }
    // The final block ends wherever the data does: it keeps no rhythm.
    std::vector<std::uint64_t> counts;
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        if (blocks[i].coded)
            counts.push_back(blocks[i].symbols);
    std::optional<std::uint64_t> usual;
    if (counts.size() >= 3) {
        std::sort(counts.begin(), counts.end());
        usual = counts[counts.size() / 2];
    }
    std::optional<std::size_t> odd;
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
        if (!blocks[i].coded || InRhythm(blocks[i], usual))
            continue;
        if (odd)
            return std::nullopt;
        odd = i;
    }
    // The blocks after it are decoded anyway: the lengths must say it is
    // out of place, or there is nothing to move.
    if (!odd || sink.count == size)
        return std::nullopt;

    // What the damaged block gave is kept, as after a failure: it may be
    // right up to the damage. Only what follows it stands at wrong offsets.
    DamageSite site;
    site.blockBit = blocks[*odd].bit;
    site.failBit = blocks[*odd + 1].bit;
    site.sound = blocks[*odd].out;
    site.size = size;
    ByteSink bytes;
    bits.Seek(0);
    while (bits.Position() < site.failBit) {
        if (!ReadBlockHeader(bits, header) ||
            DecodeBlockBody(bits, header, bytes) != BodyEnd::endOfBlock)
            return std::nullopt;
    }
    bytes.Flush();
    site.written = bytes.count;
    site.history = bytes.History();
    site.writtenCrc = bytes.crc;
    site.inStep = true;
    return site;
}

std::optional<ResyncOutcome> SalvagePastDamage(CZipStorage& storage, std::uint64_t dataStart,
                                               std::uint64_t dataSize, const DamageSite& damage,
                                               const ResyncWrite& write,
                                               const std::function<void()>& found,
                                               const std::function<bool()>& stop,
                                               const ResyncLimits& limits) {
    DeflateBits bits(storage, dataStart, dataSize);
    DamageSite site = damage;
    ResolveDamagedBlock(bits, site);
    Searcher searcher(bits, site, limits);
    const std::vector<Segment> segments = searcher.FindSegments();
    if (segments.empty())
        return std::nullopt;
    if (found)
        found();
    BlockHeader header;
    const SegmentWriter decode = [&](const Segment& segment, std::uint64_t place,
                                     std::uint64_t skip, bool exact, ResyncOutcome& outcome) {
        CellSink sink(site, place, exact, skip, segment, outcome, write);
        bits.Seek(segment.startBit);
        while (!sink.Done()) {
            if (!ReadBlockHeader(bits, header) ||
                DecodeBlockBody(bits, header, sink) != BodyEnd::endOfBlock || header.final)
                break;
            if (stop && stop())
                break;
        }
        sink.Flush();
    };
    // Deflate gives at most 258 bytes for two bits.
    constexpr std::uint64_t kMostBytesPerByte = 1032;
    return LayOutSegments(site, segments, kMostBytesPerByte, write, stop, decode);
}
