#include "cli/run_log.h"

#include "cli/archive_report.h"
#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "log/banners.h"
#include "platform/text.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

std::string LogTargetError(const CommandOptions& options) {
    if (options.log.empty())
        return {};
    const std::optional<FileIdentity> log = IdentifyFile(platform::DecodeLocal(options.log));
    if (!log)
        return {};
    for (const std::string& operand : options.operands) {
        if (IdentifyFile(platform::DecodeLocal(operand)) == log)
            return "--log names the archive " + operand + "; the log would be written into it";
    }
    return {};
}

std::vector<std::wstring> StartDesktopRun(const CommandOptions& options) {
    SetActivityLogErrorHandler([](const std::wstring& path, int osError) {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true))
            std::fprintf(stderr, "kvzip: warning: cannot write the activity log %s: %s\n",
                         Printable(path).c_str(), std::strerror(osError));
    });
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
