#include "cli/run_log.h"

#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "log/banners.h"
#include "platform/text.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"

#include <ctime>

std::vector<std::wstring> StartDesktopRun(const CommandOptions& options) {
    if (!options.log.empty())
        SetActivityLogFile(platform::DecodeLocal(options.log));
    std::vector<std::wstring> paths;
    for (const std::string& operand : options.operands)
        paths.push_back(platform::DecodeLocal(operand));
    g_repairMode = options.advanced ? 1 : 0;
    g_skipPreview = 0;
    // The desktop program's setting, unless the command line chose.
    if (options.nameEncoding.empty())
        ReadNameEncodingSetting();

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteStartBanner(local);
    RecordRepairSelection(paths);
    LogAnalysisStart();
    return paths;
}
