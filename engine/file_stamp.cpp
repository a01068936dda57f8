#include "engine/file_stamp.h"

#include "platform/text.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {
constexpr std::uint32_t kReadOnlyAttribute = 0x01;
}

bool StampOutputFile(const std::wstring& path, std::int64_t modified, std::uint32_t attributes) {
    const std::string native = platform::EncodeLocal(path);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(modified);
    times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, native.c_str(), times, 0);
    if ((attributes & kReadOnlyAttribute) == 0)
        return true;
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0)
        return false;
    return ::chmod(native.c_str(), st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
