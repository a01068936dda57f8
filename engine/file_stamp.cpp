#include "engine/file_stamp.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr std::uint32_t kReadOnlyAttribute = 0x01;

// The process's umask, read without changing it: setting it to read it back
// would let files that other threads make meanwhile escape it.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    std::fclose(status);
                    return static_cast<mode_t>(value);
                }
            }
            std::fclose(status);
        }
        return static_cast<mode_t>(022);
    }();
    return mask;
}

} // namespace

bool StampOutputFile(const CFile& file, std::int64_t modified, std::uint32_t attributes,
                     std::optional<std::uint32_t> unixMode) {
    const int fd = file.GetHandle();
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(modified);
    times[1].tv_nsec = 0;
    ::futimens(fd, times);
    struct stat st {};
    if (unixMode) {
        mode_t permissions = static_cast<mode_t>(*unixMode) & 0777 & ~ProcessUmask();
        // Its owner can still list it, add to it and remove it.
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
            permissions |= S_IRWXU;
        return ::fchmod(fd, permissions) == 0;
    }
    if ((attributes & kReadOnlyAttribute) == 0)
        return true;
    if (::fstat(fd, &st) != 0)
        return false;
    return ::fchmod(fd, st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}
