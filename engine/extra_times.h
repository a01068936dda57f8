// Modification times that extra fields hold more exactly than the DOS date
// and time: in UTC, to the second or better, and outside 1980-2107.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The modification moment, in seconds since 1970 UTC, of the first sound
// extended timestamp field (0x5455), else of the first sound NTFS field
// (0x000a); nothing when neither is there.
std::optional<std::int64_t> ExtraModifiedTime(std::string_view extra);

// Whether `moment` can be the time the DOS date and time give in some time
// zone. A DOS date that cannot be one (0, a month 0) or that sits at either
// end of its range (a writer's stand-in for a time it could not store) says
// nothing against it.
bool AgreesWithDosTime(std::int64_t moment, std::uint16_t dosDate, std::uint16_t dosTime);
