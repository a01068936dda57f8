#include "engine/resync.h"

#include "engine/zip_storage.h"

#include <algorithm>
#include <array>

namespace {

void WriteZeros(std::uint64_t count, const ResyncWrite& write) {
    static const std::array<unsigned char, 65536> zeros{};
    while (count > 0) {
        const auto run = static_cast<std::size_t>(std::min<std::uint64_t>(count, zeros.size()));
        write(zeros.data(), run);
        count -= run;
    }
}

// Where each segment goes. The last one, when it reaches the stream's end
// and the size is known, ends at that size; the others follow the bytes
// before them after a gap as long as the compressed bits skipped suggest
// at the entry's ratio so far.
std::vector<std::uint64_t> PlaceSegments(const DamageSite& site,
                                         const std::vector<ResyncSegment>& segments,
                                         std::uint64_t mostBytesPerByte, bool& anchored) {
    const double ratio = site.failBit > 0
                             ? static_cast<double>(site.written) / static_cast<double>(site.failBit)
                             : 0;
    const ResyncSegment& last = segments.back();
    std::uint64_t after = 0;
    for (const ResyncSegment& segment : segments)
        after += segment.length;
    // A claimed size that leaves a wider gap than the skipped data could
    // have filled is a damaged field, not a place, and must not fill the
    // disk with zeros.
    const std::uint64_t gapBits = last.startBit - std::min(last.startBit, site.blockBit);
    const std::uint64_t widestGap = (gapBits / 8 + 1) * mostBytesPerByte;
    anchored = site.size && last.reachedEnd && *site.size >= after &&
               *site.size - after <= site.written + widestGap;
    std::vector<std::uint64_t> places;
    std::uint64_t end = site.written;
    for (const ResyncSegment& segment : segments) {
        std::uint64_t place =
            end + static_cast<std::uint64_t>(static_cast<double>(segment.skippedBits) * ratio);
        if (anchored) {
            // What still follows must fit before the end.
            place = std::min(place, *site.size - after);
        }
        if (&segment == &last && anchored)
            place = *site.size - last.length;
        places.push_back(place);
        end = std::max(end, place + segment.length);
        after -= segment.length;
    }
    return places;
}

} // namespace

CompressedBytes::CompressedBytes(CZipStorage& storage, std::uint64_t start, std::uint64_t size)
    : m_storage(storage), m_start(start),
      m_size(std::min(size, storage.GetLength() - std::min(start, storage.GetLength()))) {}

void CompressedBytes::Fill(std::uint64_t offset) {
    m_at = offset;
    m_length = 0;
    if (offset < m_size)
        m_length = m_storage.ReadAt(
            m_start + offset, m_buffer.data(),
            static_cast<std::size_t>(std::min<std::uint64_t>(m_buffer.size(), m_size - offset)));
}

std::size_t CompressedBytes::Read(std::uint64_t offset, unsigned char* out, std::size_t count) {
    if (offset >= m_size)
        return 0;
    const auto ask = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    return m_storage.ReadAt(m_start + offset, out, ask);
}

ResyncOutcome LayOutSegments(const DamageSite& site, const std::vector<ResyncSegment>& segments,
                             std::uint64_t mostBytesPerByte, const ResyncWrite& write,
                             const std::function<bool()>& stop, const SegmentWriter& writeSegment) {
    ResyncOutcome outcome;
    outcome.recovered = site.sound;
    bool anchored = false;
    const std::vector<std::uint64_t> places =
        PlaceSegments(site, segments, mostBytesPerByte, anchored);
    outcome.estimated = !anchored;
    std::uint64_t end = site.written;
    // Where the bytes not vouched for begin: at the block that failed.
    std::uint64_t doubtful = site.sound;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (stop && stop())
            break;
        ResyncSegment segment = segments[i];
        const std::uint64_t place = places[i];
        // Nothing goes past the size the entry claims.
        if (site.size) {
            if (place >= *site.size)
                break;
            segment.length = std::min(segment.length, *site.size - place);
            segment.sound = std::min(segment.sound, segment.length);
        }
        if (place > end)
            WriteZeros(place - end, write);
        if (std::max(place, end) > doubtful)
            outcome.lost.push_back({doubtful, std::max(place, end) - doubtful});
        // Bytes before what is already out are not written twice: the
        // earlier reading keeps them.
        const std::uint64_t skip = end > place ? end - place : 0;
        writeSegment(segment, place, skip, anchored && i + 1 == segments.size(), outcome);
        end = std::max(end, place + segment.length);
        doubtful = std::max(doubtful, place + segment.sound);
    }
    if (end > doubtful)
        outcome.lost.push_back({doubtful, end - doubtful});
    return outcome;
}
