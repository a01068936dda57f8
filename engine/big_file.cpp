#include "engine/big_file.h"

std::uint64_t CBigFile::Seek64(std::int64_t distance, int origin) {
    const SeekPosition from = origin == FILE_CURRENT ? current : origin == FILE_END ? end : begin;
    return Seek(distance, from);
}
