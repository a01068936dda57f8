#include "engine/bzip2_resync.h"

#include <algorithm>
#include <array>
#include <bzlib.h>
#include <chrono>
#include <map>

namespace {

// The block marker and the stream's end marker (the digits of pi and of
// the square root of pi), each 48 bits.
constexpr std::uint64_t kBlockMarker = 0x314159265359;
constexpr std::uint64_t kEndMarker = 0x177245385090;
constexpr std::uint64_t kMarkerBits = 48;
constexpr std::uint64_t kMarkerMask = (std::uint64_t{1} << kMarkerBits) - 1;
constexpr std::uint64_t kCrcBits = 32;
// Between the last block of one stream and the first of the next: the end
// marker, the stream's CRC, padding to a byte and "BZh" with its digit.
constexpr std::uint64_t kMostBetweenStreams = kMarkerBits + kCrcBits + 7 + 32;
// A block of 900 kB packs to little more than that even when nothing in it
// repeats; a block claimed longer is cut there.
constexpr std::uint64_t kMostBlockBits = std::uint64_t{2} << 23;
// Room for a descriptor between a stream's end and a guessed end of data.
constexpr std::uint64_t kDescriptorRoom = 24;

struct Marker {
    std::uint64_t bit = 0;
    bool end = false; // the stream's end, not a block
};

// The first block or end marker that begins in [from, bound).
std::optional<Marker> NextMarker(CompressedBytes& data, std::uint64_t from, std::uint64_t bound) {
    bound = std::min(bound, data.Bits());
    if (from >= bound)
        return std::nullopt;
    std::uint64_t window = 0;
    // Bytes ahead of the first marker bit enter the window first: a marker
    // ends in the byte just taken, in any of its eight bit positions.
    const std::uint64_t first = from >= kMarkerBits ? (from - kMarkerBits) / 8 : 0;
    const std::uint64_t last = (bound + kMarkerBits + 7) / 8;
    for (std::uint64_t byte = first; byte < last && byte * 8 < data.Bits(); ++byte) {
        window = window << 8 | data.At(byte);
        if ((byte + 1) * 8 < kMarkerBits)
            continue;
        for (int shift = 7; shift >= 0; --shift) {
            const std::uint64_t value = (window >> shift) & kMarkerMask;
            if (value != kBlockMarker && value != kEndMarker)
                continue;
            const std::uint64_t bit = (byte + 1) * 8 - shift - kMarkerBits;
            if (bit >= from && bit < bound)
                return Marker{bit, value == kEndMarker};
        }
    }
    return std::nullopt;
}

// Bits written most significant first, as bzip2 packs them.
class MsbWriter {
public:
    void Put(std::uint64_t value, std::uint64_t count) {
        for (std::uint64_t i = count; i-- > 0;)
            Bit((value >> i) & 1);
    }
    void PutBytes(const char* bytes, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            Put(static_cast<unsigned char>(bytes[i]), 8);
    }
    // The bits [from, to) of the data, whole bytes at a time while this
    // writer stands at a byte boundary.
    void PutRange(CompressedBytes& data, std::uint64_t from, std::uint64_t to) {
        const unsigned shift = from % 8;
        while (m_count % 8 == 0 && to - from >= 8) {
            const unsigned high = data.At(from / 8);
            const unsigned low = shift == 0 ? 0 : data.At(from / 8 + 1);
            m_bytes.push_back(static_cast<char>((high << shift | low >> (8 - shift)) & 0xFF));
            m_count += 8;
            from += 8;
        }
        for (; from < to; ++from)
            Bit((data.At(from / 8) >> (7 - from % 8)) & 1);
    }
    std::string& Bytes() { return m_bytes; }

private:
    void Bit(unsigned bit) {
        if (m_count % 8 == 0)
            m_bytes += '\0';
        m_bytes.back() = static_cast<char>(m_bytes.back() | bit << (7 - m_count % 8));
        ++m_count;
    }
    std::string m_bytes;
    std::uint64_t m_count = 0;
};

struct Block {
    std::uint64_t startBit = 0;
    std::uint64_t endBit = 0;
    // What follows it is the stream's end marker.
    bool endsStream = false;
};

// Decodes one block as a stream of its own: the header, the block's bits,
// and an end marker whose CRC is the block's (a one-block stream's CRC is
// its block's). libbz2 then checks both: the block is sound when the stream
// ends. Each piece of output goes to `sink` as it comes; the block's length
// when it is sound. Level 9 admits blocks of every level.
template <typename Sink>
std::optional<std::uint64_t> DecodeBlock(CompressedBytes& data, const Block& block, Sink&& sink) {
    MsbWriter stream;
    stream.PutBytes("BZh9", 4);
    stream.PutRange(data, block.startBit, block.endBit);
    stream.Put(kEndMarker, kMarkerBits);
    MsbWriter crc;
    crc.PutRange(data, block.startBit + kMarkerBits, block.startBit + kMarkerBits + kCrcBits);
    stream.PutBytes(crc.Bytes().data(), crc.Bytes().size());

    bz_stream bz{};
    if (BZ2_bzDecompressInit(&bz, 0, 0) != BZ_OK)
        return std::nullopt;
    std::string& in = stream.Bytes();
    bz.next_in = in.data();
    bz.avail_in = static_cast<unsigned>(in.size());
    std::array<char, 65536> out;
    std::uint64_t length = 0;
    int result = BZ_OK;
    do {
        bz.next_out = out.data();
        bz.avail_out = static_cast<unsigned>(out.size());
        result = BZ2_bzDecompress(&bz);
        const std::size_t made = out.size() - bz.avail_out;
        sink(reinterpret_cast<const unsigned char*>(out.data()), made, length);
        length += made;
        // Out of input without the end: the block is cut short.
        if (result == BZ_OK && made == 0 && bz.avail_in == 0)
            result = BZ_UNEXPECTED_EOF;
    } while (result == BZ_OK);
    BZ2_bzDecompressEnd(&bz);
    return result == BZ_STREAM_END ? std::optional(length) : std::nullopt;
}

class Searcher {
public:
    Searcher(CompressedBytes& data, const DamageSite& site, const ResyncLimits& limits)
        : m_data(data), m_site(site), m_limits(limits), m_deadline(limits.Deadline()) {}

    // Runs of sound blocks after the damage, each with its blocks.
    std::vector<ResyncSegment> FindSegments(std::map<std::uint64_t, std::vector<Block>>& blocks,
                                            const std::function<bool()>& stop) {
        std::vector<ResyncSegment> segments;
        // The search starts at the damaged block, whose own marker may come
        // first: it fails again and is passed over.
        std::uint64_t from = m_site.blockBit;
        std::uint64_t failBit = m_site.failBit;
        // Where the last sound output ended, in bits.
        std::uint64_t soundEnd = m_site.failBit;
        bool joined = false;
        for (;;) {
            // The time bounds the search; sound blocks after sound ones are
            // all decoded, as the straight decoding would.
            if ((!joined && std::chrono::steady_clock::now() > m_deadline) || (stop && stop()))
                break;
            // Past a failure the search is bounded; blocks that follow
            // sound ones are where those end.
            const std::uint64_t bound =
                joined ? from + kMostBetweenStreams + 1 : failBit + m_limits.searchBytes * 8;
            std::optional<Marker> marker = NextMarker(m_data, from, bound);
            while (marker && marker->end)
                marker = NextMarker(m_data, marker->bit + 1, bound);
            if (!marker && joined) {
                // The next block's marker is damaged: a failure like any.
                joined = false;
                failBit = from;
                continue;
            }
            if (!marker)
                break;
            Block block{marker->bit, 0, false};
            const std::optional<Marker> next =
                NextMarker(m_data, block.startBit + kMarkerBits, block.startBit + kMostBlockBits);
            block.endBit =
                next ? next->bit : std::min(m_data.Bits(), block.startBit + kMostBlockBits);
            block.endsStream = next && next->end;
            const std::optional<std::uint64_t> length =
                DecodeBlock(m_data, block, [](const unsigned char*, std::size_t, std::uint64_t) {});
            if (!length) {
                joined = false;
                failBit = block.startBit;
                from = block.startBit + 1;
                continue;
            }
            if (!joined) {
                ResyncSegment segment;
                segment.startBit = block.startBit;
                segment.skippedBits = block.startBit > soundEnd ? block.startBit - soundEnd : 0;
                segments.push_back(segment);
            }
            ResyncSegment& segment = segments.back();
            segment.length += *length;
            segment.sound = segment.length;
            segment.reachedEnd = block.endsStream && EndsData(block.endBit);
            blocks[segment.startBit].push_back(block);
            soundEnd = block.endBit;
            from = block.endBit;
            joined = true;
        }
        return segments;
    }

private:
    // The stream's end marker at `bit`, its CRC and padding end the data:
    // in its last byte, or, when the data's end was only guessed from the
    // next header, at most a descriptor's length before it.
    bool EndsData(std::uint64_t bit) const {
        const std::uint64_t endByte = (bit + kMarkerBits + kCrcBits + 7) / 8;
        const std::uint64_t size = m_data.Bits() / 8;
        if (m_site.exactEnd)
            return endByte == size;
        return endByte <= size && size - endByte <= kDescriptorRoom;
    }

    CompressedBytes& m_data;
    const DamageSite& m_site;
    const ResyncLimits& m_limits;
    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace

std::optional<ResyncOutcome>
SalvageBzip2PastDamage(CZipStorage& storage, std::uint64_t dataStart, std::uint64_t dataSize,
                       const DamageSite& damage, const ResyncWrite& write,
                       const std::function<void()>& found, const std::function<bool()>& stop,
                       const ResyncLimits& limits) {
    CompressedBytes data(storage, dataStart, dataSize);
    DamageSite site = damage;
    // Only the block that failed may be wrong: its start is where the
    // decoder last began one.
    if (!site.recent.empty()) {
        site.blockBit = site.recent.back().bit;
        site.sound = std::min(site.recent.back().out, site.written);
    }
    // What the damaged block gave fails its CRC and goes: the stretch lost
    // begins at its start, in bits as in bytes.
    site.failBit = std::min(site.failBit, site.blockBit);
    std::map<std::uint64_t, std::vector<Block>> blocks;
    Searcher searcher(data, site, limits);
    const std::vector<ResyncSegment> segments = searcher.FindSegments(blocks, stop);
    if (segments.empty())
        return std::nullopt;
    if (found)
        found();
    const SegmentWriter decode = [&](const ResyncSegment& segment, std::uint64_t /*place*/,
                                     std::uint64_t skip, bool /*exact*/, ResyncOutcome& outcome) {
        std::uint64_t position = 0;
        for (const Block& block : blocks[segment.startBit]) {
            if (position >= segment.length || (stop && stop()))
                break;
            const auto put = [&](const unsigned char* bytes, std::size_t size, std::uint64_t at) {
                const std::uint64_t from = std::max(position + at, skip);
                const std::uint64_t to = std::min(position + at + size, segment.length);
                if (from >= to)
                    return;
                write(bytes + (from - position - at), static_cast<std::size_t>(to - from));
                outcome.recovered += to - from;
            };
            const std::optional<std::uint64_t> length = DecodeBlock(data, block, put);
            position += length.value_or(0);
        }
    };
    // Runs of one byte pack best: a block of some 40 bytes may hold 45 MB.
    constexpr std::uint64_t kMostBytesPerByte = std::uint64_t{1} << 21;
    return LayOutSegments(site, segments, kMostBytesPerByte, write, stop, decode);
}
