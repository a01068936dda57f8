#include "workflow/repair_log.h"

#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "workflow/repair_state.h"

#include <initializer_list>

namespace {

void Log(std::initializer_list<std::wstring_view> texts) {
    for (std::wstring_view text : texts)
        WriteActivityLog(text);
}

} // namespace

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
    Log({L"\r\n", L"\r\n", L"Repair Mode  :      ",
         g_repairMode == 0 ? L"Quick Repair" : L"Advance  Repair", L"\r\n", L"______________",
         L"\r\n", L"\r\n", L"Skip Preview Status :", L"    ", g_skipPreview ? L"TRUE" : L"FALSE",
         L"\r\n", L"____________________"});
}

void LogAnalysisStart() {
    Log({L"\r\n", L"\r\n",
         L"************************* Step 2 :- Analysis Of Files*****************************",
         L"\r\n", L"\r\n", L"Total Files Count :", L"    ", std::to_wstring(g_sourceFileCount),
         L"\r\n", L"___________________", L"\r\n", L"\r\n"});
}
