#include "engine/frame_resync.h"

#include "engine/entry_decoder.h"

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

// Room for a descriptor between the last frame and a guessed end of data.
constexpr std::uint64_t kDescriptorRoom = 24;
constexpr std::size_t kChunk = 1 << 16;

// What decoding from a magic number on came to.
struct Run {
    std::uint64_t length = 0;
    // Bytes out before the frame that failed: all when none failed.
    std::uint64_t sound = 0;
    // Where that frame began, from the run's start.
    std::uint64_t failedFrame = 0;
    // A frame ended: the magic began a real one.
    bool wholeFrame = false;
    // The data ran out, or what follows the last frame is no frame.
    bool ended = false;
    std::uint64_t taken = 0;
};

// Decodes frames from `from` on, handing each piece of output to `sink`
// with its place in the run, until the data ends or a frame fails.
template <typename Sink>
Run DecodeRun(CompressedBytes& data, std::uint16_t method, std::uint64_t from, Sink&& sink,
              const std::function<bool()>& stop) {
    Run run;
    const std::unique_ptr<CEntryDecoder> decoder = MakeEntryDecoder(method, nullptr);
    if (!decoder)
        return run;
    std::vector<unsigned char> in(kChunk);
    std::vector<unsigned char> out(kChunk);
    std::size_t have = 0;
    std::size_t at = 0;
    for (;;) {
        if (at == have) {
            have = data.Read(from + run.taken, in.data(), in.size());
            at = 0;
        }
        std::size_t taken = 0;
        std::size_t made = 0;
        const CEntryDecoder::Status status =
            decoder->Decode(in.data() + at, have - at, taken, out.data(), out.size(), made);
        sink(out.data(), made, run.length);
        at += taken;
        run.taken += taken;
        run.length += made;
        std::vector<BlockStart> frames;
        std::vector<unsigned char> history;
        decoder->DescribeBlocks(frames, history);
        run.wholeFrame = run.wholeFrame || frames.size() > 1;
        if (status == CEntryDecoder::Status::end) {
            run.ended = true;
            run.sound = run.length;
            return run;
        }
        if (status == CEntryDecoder::Status::error || (taken == 0 && made == 0) ||
            (stop && stop())) {
            if (!frames.empty()) {
                run.failedFrame = frames.back().bit / 8;
                run.sound = frames.back().out;
            }
            return run;
        }
    }
}

class Searcher {
public:
    Searcher(CompressedBytes& data, std::uint16_t method, const DamageSite& site,
             const ResyncLimits& limits)
        : m_data(data), m_method(method), m_site(site), m_limits(limits),
          m_deadline(limits.Deadline()), m_probe(MakeEntryDecoder(method, nullptr)) {}

    std::vector<ResyncSegment> FindSegments(const std::function<bool()>& stop) {
        std::vector<ResyncSegment> segments;
        std::uint64_t from = m_site.blockBit / 8 + 1;
        std::uint64_t failByte = m_site.failBit / 8;
        std::uint64_t total = m_site.sound;
        for (;;) {
            const std::optional<std::uint64_t> start =
                NextMagic(from, std::min(m_data.Size(), failByte + m_limits.searchBytes));
            if (!start)
                break;
            const Run run = DecodeRun(
                m_data, m_method, *start, [](const unsigned char*, std::size_t, std::uint64_t) {},
                stop);
            if (!run.wholeFrame && !run.ended) {
                from = *start + 1;
                continue;
            }
            ResyncSegment segment;
            segment.startBit = *start * 8;
            segment.skippedBits = *start > failByte ? (*start - failByte) * 8 : 0;
            const std::uint64_t room =
                m_site.size ? *m_site.size - std::min(*m_site.size, total) : run.length;
            segment.length = std::min(run.length, room);
            segment.sound = std::min(run.sound, segment.length);
            segment.reachedEnd = run.ended && EndsData(*start + run.taken);
            segments.push_back(segment);
            total += segment.length;
            if (run.ended || (stop && stop()))
                break;
            failByte = *start + run.taken;
            from = *start + run.failedFrame + 1;
        }
        return segments;
    }

private:
    // The first offset in [from, bound) where a frame's magic number begins.
    std::optional<std::uint64_t> NextMagic(std::uint64_t from, std::uint64_t bound) {
        unsigned char head[8];
        for (std::uint64_t at = from; at < bound; ++at) {
            if ((at & 4095) == 0 && std::chrono::steady_clock::now() > m_deadline)
                return std::nullopt;
            for (std::size_t i = 0; i < sizeof head; ++i)
                head[i] = m_data.At(at + i);
            if (m_probe && m_probe->BeginsFrame(head))
                return at;
        }
        return std::nullopt;
    }

    // The last frame ended at `end`, where the data does: exactly, or, when
    // the data's end was only guessed from the next header, a descriptor's
    // length before it.
    bool EndsData(std::uint64_t end) const {
        if (m_site.exactEnd)
            return end == m_data.Size();
        return end <= m_data.Size() && m_data.Size() - end <= kDescriptorRoom;
    }

    CompressedBytes& m_data;
    std::uint16_t m_method;
    const DamageSite& m_site;
    const ResyncLimits& m_limits;
    std::chrono::steady_clock::time_point m_deadline;
    std::unique_ptr<CEntryDecoder> m_probe;
};

} // namespace

std::optional<ResyncOutcome>
SalvageFramesPastDamage(CZipStorage& storage, std::uint64_t dataStart, std::uint64_t dataSize,
                        std::uint16_t method, const DamageSite& damage, const ResyncWrite& write,
                        const std::function<bool()>& stop, const ResyncLimits& limits) {
    CompressedBytes data(storage, dataStart, dataSize);
    DamageSite site = damage;
    // What the frame that failed gave is kept: it may be right up to the
    // damage, and the stretch not vouched for begins where it began.
    if (!site.recent.empty()) {
        site.blockBit = site.recent.back().bit;
        site.sound = std::min(site.recent.back().out, site.written);
    }
    Searcher searcher(data, method, site, limits);
    const std::vector<ResyncSegment> segments = searcher.FindSegments(stop);
    if (segments.empty())
        return std::nullopt;
    const SegmentWriter decode = [&](const ResyncSegment& segment, std::uint64_t /*place*/,
                                     std::uint64_t skip, bool /*exact*/, ResyncOutcome& outcome) {
        const auto put = [&](const unsigned char* bytes, std::size_t size, std::uint64_t at) {
            const std::uint64_t from = std::max(at, skip);
            const std::uint64_t to = std::min(at + size, segment.length);
            if (from >= to)
                return;
            write(bytes + (from - at), static_cast<std::size_t>(to - from));
            if (from < segment.sound)
                outcome.recovered += std::min(to, segment.sound) - from;
        };
        DecodeRun(data, method, segment.startBit / 8, put, stop);
    };
    // Neither packs more than 128 KiB into a byte, zeros included.
    constexpr std::uint64_t kMostBytesPerByte = std::uint64_t{1} << 17;
    return LayOutSegments(site, segments, kMostBytesPerByte, write, stop, decode);
}
