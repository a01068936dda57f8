// The archive file: a file with 64-bit positioning.
#pragma once

#include "platform/file.h"

#include <cstdint>

enum { FILE_BEGIN = 0, FILE_CURRENT = 1, FILE_END = 2 };

class CBigFile : public CFile {
public:
    // Moves by a 64-bit distance from `origin`; returns the new position.
    // Throws CFileException when the system refuses.
    std::uint64_t Seek64(std::int64_t distance, int origin);
};
