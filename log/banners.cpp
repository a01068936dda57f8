#include "log/banners.h"

#include "log/activity_log.h"
#include "platform/version.h"

#include <initializer_list>

namespace {

void Log(std::initializer_list<std::wstring_view> texts) {
    for (std::wstring_view text : texts)
        WriteActivityLog(text);
}

} // namespace

std::wstring LogDateText(const std::tm& local) {
    // The separator is the log's own backslash, not a path separator.
    return std::to_wstring(local.tm_mday) + L"\\" + std::to_wstring(local.tm_mon + 1) + L"\\" +
           std::to_wstring(local.tm_year + 1900);
}

std::wstring LogTimeText(const std::tm& local) {
    return std::to_wstring(local.tm_hour) + L":" + std::to_wstring(local.tm_min) + L":" +
           std::to_wstring(local.tm_sec);
}

void WriteStartBanner(const std::tm& local) {
    Log({L"\r\n",
         L"\r\n",
         L"\r\n",
         L"\r\n",
         L"********************************* Start Log File ********************************",
         L"\r\n",
         L"\r\n",
         L"******************************Kelvane for Zip*****************************",
         L"\r\n",
         L"\r\n",
         L"Version " KVZIP_VERSION,
         L"\r\n",
         L"Date",
         L"    ",
         LogDateText(local),
         L"\r\n",
         L"Time",
         L"    ",
         LogTimeText(local),
         L"\r\n",
         L"\r\n",
         L"************************* Step 1 :- Source Files Selection ***********************",
         L"\r\n",
         L"\r\n"});
}

void WriteCompletionBanner() {
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"\r\n");
    WriteActivityLog(
        L"******************* Repairing Completed successfully***********************************");
}

void WriteAbortBanner() {
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"******************* Repairing aborted***********************************");
}
