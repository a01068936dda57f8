#include "platform/memory.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>
#include <sys/resource.h>

namespace platform {

namespace {

// A value of /proc/meminfo in bytes, or 0.
std::uint64_t MemInfoValue(const std::string& key) {
    std::ifstream in("/proc/meminfo");
    std::string name;
    std::uint64_t kib = 0;
    std::string unit;
    while (in >> name >> kib) {
        std::getline(in, unit);
        if (name == key + ":")
            return kib * 1024;
    }
    return 0;
}

// The process's own size in bytes (virtual size, or data segment), or 0.
std::uint64_t OwnSize(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string wanted = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(wanted, 0) == 0)
            return std::stoull(line.substr(wanted.size())) * 1024;
    }
    return 0;
}

// What limit `resource` leaves beyond `used`; the most a 64-bit number holds
// when there is no limit.
std::uint64_t LeftUnder(int resource, std::uint64_t used) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<std::uint64_t>::max();
    return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

} // namespace

std::uint64_t AvailableMemory() {
    std::uint64_t left = MemInfoValue("MemAvailable");
    if (left == 0)
        left = std::numeric_limits<std::uint64_t>::max();
    left = std::min(left, LeftUnder(RLIMIT_AS, OwnSize("VmSize")));
    left = std::min(left, LeftUnder(RLIMIT_DATA, OwnSize("VmData")));
    return left == std::numeric_limits<std::uint64_t>::max() ? 0 : left;
}

} // namespace platform
