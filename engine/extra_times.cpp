#include "engine/extra_times.h"

#include "engine/extra_field.h"

#include <ctime>

namespace {

// Extended timestamp: a flags byte, then for each of bits 0, 1, 2 that is
// set a signed 32-bit UTC time (modification, access, creation). Central
// headers keep only the modification time, with the flags of the local one.
constexpr std::uint16_t kExtendedTimestampTag = 0x5455;
// NTFS: 4 reserved bytes, then attributes as tag, size, value; attribute 1
// holds modification, access and creation times as 64-bit counts of 100 ns
// since 1601-01-01 UTC.
constexpr std::uint16_t kNtfsTag = 0x000a;
constexpr std::uint16_t kNtfsTimesAttribute = 0x0001;
constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

std::optional<std::int64_t> NtfsModifiedTime(std::string_view block) {
    const auto* p = reinterpret_cast<const unsigned char*>(block.data());
    for (std::size_t at = 4; at + 4 <= block.size();) {
        const std::size_t size = ReadLe16(p + at + 2);
        if (at + 4 + size > block.size())
            break;
        if (ReadLe16(p + at) == kNtfsTimesAttribute && size >= 24) {
            const std::uint64_t ticks = ReadLe64(p + at + 4);
            if (ticks == 0)
                return std::nullopt;
            return static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
        }
        at += 4 + size;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> ExtraModifiedTime(std::string_view extra) {
    std::optional<std::int64_t> moment;
    FindExtraBlock(extra, kExtendedTimestampTag, [&](std::string_view block) {
        const auto* p = reinterpret_cast<const unsigned char*>(block.data());
        if (block.size() < 5 || (p[0] & 1) == 0)
            return false;
        moment = static_cast<std::int32_t>(ReadLe32(p + 1));
        return true;
    });
    if (!moment)
        FindExtraBlock(extra, kNtfsTag, [&](std::string_view block) {
            moment = NtfsModifiedTime(block);
            return moment.has_value();
        });
    return moment;
}

bool AgreesWithDosTime(std::int64_t moment, std::uint16_t dosDate, std::uint16_t dosTime) {
    const int year = ((dosDate >> 9) & 0x7F) + 1980;
    const int month = (dosDate >> 5) & 0x0F;
    const int day = dosDate & 0x1F;
    if (year == 1980 || year == 2107 || month < 1 || month > 12 || day < 1)
        return true;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = (dosTime >> 11) & 0x1F;
    parts.tm_min = (dosTime >> 5) & 0x3F;
    parts.tm_sec = (dosTime & 0x1F) * 2;
    const std::int64_t dosAsUtc = timegm(&parts);
    // Local times lie between UTC-12 and UTC+14; a day more covers daylight
    // saving and writers that round.
    constexpr std::int64_t kWidestZoneGap = (14 + 12 + 24) * 3600;
    const std::int64_t gap = moment > dosAsUtc ? moment - dosAsUtc : dosAsUtc - moment;
    return gap <= kWidestZoneGap;
}
