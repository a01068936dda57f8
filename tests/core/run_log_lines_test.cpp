// The fixed blocks of log lines around a run: the start, "Repair", and the
// end banners, byte for byte.
#include "tests/support/workflow_hosts.h"

#include "engine/scan_state.h"
#include "log/banners.h"
#include "platform/version.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"

namespace {

using RunLogLines = WorkflowTest;

std::tm At(int day, int month, int year, int hour, int minute, int second) {
    std::tm local{};
    local.tm_mday = day;
    local.tm_mon = month - 1;
    local.tm_year = year - 1900;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    return local;
}

TEST_F(RunLogLines, StartBannerHasThePlainDateAndTime) {
    WriteStartBanner(At(6, 12, 2026, 9, 5, 7));
    EXPECT_EQ(LogText(),
              "\r\n\r\n\r\n\r\n"
              "********************************* Start Log File ********************************"
              "\r\n\r\n"
              "******************************Kelvane for Zip*****************************"
              "\r\n\r\nVersion " KVZIP_VERSION "\r\nDate    6\\12\\2026\r\nTime    9:5:7\r\n\r\n"
              "************************* Step 1 :- Source Files Selection ***********************"
              "\r\n\r\n");
    EXPECT_EQ(LogDateText(At(31, 1, 1999, 23, 59, 0)), L"31\\1\\1999");
    EXPECT_EQ(LogTimeText(At(31, 1, 1999, 23, 59, 0)), L"23:59:0");
}

TEST_F(RunLogLines, RepairLogsTheSourcesTheOptionsAndStepTwo) {
    g_repairMode = 1;
    g_skipPreview = 1;
    RecordRepairSelection({L"/a/one.zip", L"/b/two.zip"});
    LogAnalysisStart();
    EXPECT_EQ(g_sourceFileCount, 2);
    EXPECT_EQ(GetSourcePath(1), L"/b/two.zip");
    EXPECT_EQ(LogText(),
              "Source Files :\r\n______________\r\n\r\n"
              "1-   /a/one.zip\r\n2-   /b/two.zip\r\n"
              "\r\n\r\nRepair Mode  :      Advance  Repair\r\n______________\r\n\r\n"
              "Skip Preview Status :    TRUE\r\n____________________"
              "\r\n\r\n"
              "************************* Step 2 :- Analysis Of Files*****************************"
              "\r\n\r\nTotal Files Count :    2\r\n___________________\r\n\r\n");
}

TEST_F(RunLogLines, QuickRepairWithoutSkipPreview) {
    RecordRepairSelection({L"/a/one.zip"});
    const std::string log = LogText();
    EXPECT_NE(log.find("Repair Mode  :      Quick Repair\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Skip Preview Status :    FALSE\r\n"), std::string::npos) << log;
}

TEST_F(RunLogLines, EndBanners) {
    WriteCompletionBanner();
    WriteAbortBanner();
    EXPECT_EQ(LogText(), "\r\n\r\n******************* Repairing Completed successfully"
                         "***********************************"
                         "\r\n\r\n******************* Repairing aborted"
                         "***********************************");
}

} // namespace
