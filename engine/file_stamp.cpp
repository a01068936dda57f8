#include "engine/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {
constexpr std::uint32_t kReadOnlyAttribute = 0x01;
}

bool StampOutputFile(const CFile& file, std::int64_t modified, std::uint32_t attributes) {
    const int fd = file.GetHandle();
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(modified);
    times[1].tv_nsec = 0;
    ::futimens(fd, times);
    if ((attributes & kReadOnlyAttribute) == 0)
        return true;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    return ::fchmod(fd, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
