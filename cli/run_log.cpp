#include "cli/run_log.h"

#include "log/banners.h"

#include <ctime>

void LogProgramStart() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteStartBanner(local);
}
