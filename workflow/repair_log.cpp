#include "workflow/repair_log.h"

#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "log/banners.h"
#include "workflow/repair_state.h"

void RecordRepairSelection(const std::vector<std::wstring>& paths) {
    g_sourceFileCount = static_cast<int>(paths.size());
    Log({L"Source Files :", L"\r\n", L"______________", L"\r\n", L"\r\n"});
    FreeSourceFiles();
    int row = 1;
    for (const std::wstring& path : paths) {
        AppendSourceFile(path);
        Log({std::to_wstring(row), L"-", L"   ", path, L"\r\n"});
        ++row;
    }
    LogRepairMode(g_repairMode);
    Log({L"\r\n", L"Skip Preview Status :", L"    ", g_skipPreview ? L"TRUE" : L"FALSE", L"\r\n",
         L"____________________"});
}

void LogRepairMode(int mode) {
    Log({L"\r\n", L"\r\n", L"Repair Mode  :      ",
         mode == 0 ? L"Quick Repair" : L"Advance  Repair", L"\r\n", L"______________", L"\r\n"});
}

void LogAnalysisStart() {
    WriteAnalysisBanner(g_sourceFileCount);
}
