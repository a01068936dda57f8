// Giving an extracted file its stored time and attributes.
#pragma once

#include "platform/file.h"

#include <cstdint>
#include <optional>

// Stamped through the open file, so that no link is followed. Last-write
// time = `modified` (seconds since 1970), last access = now. With a Unix
// mode its permission bits are given (read, write and run for user, group
// and others; never set-user-ID, set-group-ID or sticky, never more than
// the umask allows; a folder stays open to its owner). Without one, the
// read-only attribute (bit 0) clears the write bits, other bits do nothing.
// Returns whether setting the permissions succeeded.
bool StampOutputFile(const CFile& file, std::int64_t modified, std::uint32_t attributes,
                     std::optional<std::uint32_t> unixMode);
