#include "log/banners.h"

#include "log/activity_log.h"
#include "platform/version.h"

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

void WriteAnalysisBanner(int fileCount) {
    Log({L"\r\n", L"\r\n",
         L"************************* Step 2 :- Analysis Of Files*****************************",
         L"\r\n", L"\r\n", L"Total Files Count :", L"    ", std::to_wstring(fileCount), L"\r\n",
         L"___________________", L"\r\n", L"\r\n"});
}

void WriteSavingBanner() {
    Log({L"\r\n", L"\r\n",
         L"*************************** Step 3 :- Files Saving********************************",
         L"\r\n", L"\r\n", L"Destination Files Path :", L"\r\n", L"________________________",
         L"\r\n", L"\r\n"});
}

void WriteCompletionBanner() {
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"\r\n");
    WriteActivityLog(
        L"******************* Repairing Completed successfully***********************************");
}

void WriteProblemsBanner() {
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"******************* Repairing Completed with "
                     L"problems***********************************");
}

void WriteAbortBanner() {
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"******************* Repairing aborted***********************************");
}
