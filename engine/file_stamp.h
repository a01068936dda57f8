// Giving an extracted file its stored time and attributes.
#pragma once

#include "platform/file.h"

#include <cstdint>

// Stamped through the open file, so that no link is followed. Last-write
// time = `modified` (seconds since 1970), last access = now; the read-only
// attribute (bit 0) clears the write bits, other bits do nothing. Returns
// whether setting the attributes succeeded.
bool StampOutputFile(const CFile& file, std::int64_t modified, std::uint32_t attributes);
