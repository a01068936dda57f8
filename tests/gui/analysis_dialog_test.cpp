#include "controls/text_progress_ctrl.h"
#include "engine/scan_state.h"
#include "platform/process.h"
#include "platform/text.h"
#include "res/resource_ids.h"
#include "tests/gui/analysis_fixture.h"
#include "tests/support/scripted_message_box.h"
#include "workflow/gui/analysis_dialog.h"
#include "workflow/repair_state.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using kvtest::AnalysisSandbox;
using kvtest::RecordingList;

namespace {

const std::vector<std::string> kFour = {"alpha.txt", "beta.txt", "gamma.txt", "delta.txt"};
const std::wstring kStopQuestion = L"Do you want to Stop the analysis process ";
const std::wstring kExitQuestion = L"Do you want to exit ? ";

bool SendKey(CProgressBar& dialog, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    return dialog.DeliverToFilter(dialog.GetDlgItem(res::IDC_ANALYSIS_PAUSE), &press);
}

struct AnalysisDialogTest : ::testing::Test {
    AnalysisSandbox sandbox;
    RecordingList list;
};

} // namespace

TEST_F(AnalysisDialogTest, InitialisesAndClosesItselfWhenTheWorkerEnds) {
    sandbox.SetSources({sandbox.WriteArchive("four.zip", kFour, 300)});
    CProgressBar dialog(list);
    kvtest::EndIfStillOpen(dialog);
    bool checked = false;
    QTimer::singleShot(0, &dialog, [&] {
        checked = true;
        EXPECT_EQ(g_analysisDlg, &dialog);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kelvane for Zip"));
        EXPECT_FALSE(dialog.Skin().isNull());
        EXPECT_EQ(g_analysisPaused, 0);
        EXPECT_EQ(dialog.GetDlgItemText(res::IDC_ANALYSIS_PAUSE), QStringLiteral("Pause"));
        const QList<QAction*> items = dialog.SystemMenu()->actions();
        ASSERT_FALSE(items.isEmpty());
        EXPECT_EQ(items.back()->text(), QStringLiteral("&About Kelvane For Zip..."));
    });
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    EXPECT_TRUE(checked);
    EXPECT_EQ(list.Names(),
              (std::vector<std::wstring>{L"alpha.txt", L"beta.txt", L"gamma.txt", L"delta.txt"}));
    EXPECT_EQ(list.listedCount, L"4");
    // The last entry leaves the bar full; the paint cleared only its own flag.
    EXPECT_EQ(dialog.m_progress->GetPos(), 100);
    EXPECT_EQ(g_closeAnalysisDlg, 0);
    EXPECT_EQ(g_reapAnalysisThread, 1);
    EXPECT_EQ(g_analysisThread.Join(), platform::WorkerEnding::Completed);
    EXPECT_NE(sandbox.LogText().find("Number Of Files Extracted  :      4"), std::string::npos);
}

TEST_F(AnalysisDialogTest, TruncatedArchiveListsTheEntriesBeforeTheCut) {
    kvtest::ZipWriter writer;
    for (const std::string& name : kFour)
        writer.Add({.name = name, .content = std::string(500, 'x')});
    std::string bytes = writer.Bytes();
    // Cut inside the last entry's data, as an interrupted download is.
    kvtest::Truncate(bytes, writer.Entry(3).dataOffset + 100);
    kvtest::WriteFileBytes(sandbox.Dir() / "cut.zip", bytes);
    sandbox.SetSources({platform::DecodeLocal((sandbox.Dir() / "cut.zip").string())});

    CProgressBar dialog(list);
    kvtest::EndIfStillOpen(dialog);
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    g_analysisThread.Join();
    ASSERT_GE(list.rows.size(), 3u);
    EXPECT_EQ(list.rows[0].texts[columnFileName], L"alpha.txt");
    EXPECT_EQ(list.rows[2].texts[columnFileName], L"gamma.txt");
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(g_analysisScanActive, 0);
}

TEST_F(AnalysisDialogTest, PauseThenStopAnsweredNoStaysPaused) {
    sandbox.SetSources({sandbox.WriteArchive("four.zip", kFour)});
    CProgressBar dialog(list);
    kvtest::EndIfStillOpen(dialog);
    ScriptedMessageBox boxes({platform::IDNO});
    list.afterInsert = [&](int rows) {
        if (rows != 1)
            return;
        dialog.OnPauseResume();
        QTimer::singleShot(0, &dialog, [&] {
            dialog.OnStop();
            EXPECT_EQ(boxes.AskedTexts(), std::vector<std::wstring>{kStopQuestion});
            EXPECT_EQ(dialog.GetDlgItemText(res::IDC_ANALYSIS_PAUSE), QStringLiteral("Resume"));
            EXPECT_EQ(g_analysisPaused, 1);
            EXPECT_TRUE(g_analysisThread.Gate().IsPaused());
            EXPECT_EQ(g_analysisThread.Gate().WaitUntilHalted(), platform::GateState::Halted);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(list.rows.size(), 1u);
            // Enter (the OK command) must not close the dialog under the worker.
            dialog.SendCommand(platform::IDOK);
            EXPECT_TRUE(dialog.isVisible());
            dialog.OnPauseResume();
            EXPECT_EQ(dialog.GetDlgItemText(res::IDC_ANALYSIS_PAUSE), QStringLiteral("Pause"));
            EXPECT_EQ(g_analysisPaused, 0);
        });
    };
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    EXPECT_EQ(g_analysisThread.Join(), platform::WorkerEnding::Completed);
    EXPECT_EQ(list.rows.size(), 4u);
}

TEST_F(AnalysisDialogTest, StopAnsweredYesKeepsTheRowsAndClearsTheState) {
    sandbox.SetSources({sandbox.WriteArchive("four.zip", kFour)});
    CProgressBar dialog(list);
    kvtest::EndIfStillOpen(dialog);
    ScriptedMessageBox boxes({platform::IDYES});
    list.afterInsert = [&](int rows) {
        if (rows == 2)
            QTimer::singleShot(0, &dialog, [&] { dialog.OnStop(); });
    };
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    EXPECT_EQ(boxes.AskedTexts(), std::vector<std::wstring>{kStopQuestion});
    EXPECT_EQ(g_analysisThread.Ending(), platform::WorkerEnding::Stopped);
    EXPECT_GE(list.rows.size(), 2u);
    EXPECT_LT(list.rows.size(), 4u);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(g_scanLength, 0u);
    EXPECT_EQ(g_analysisArchive.m_decodeError, 0);
    // Stopped passes log no count, and the worker did not signal an end.
    EXPECT_EQ(sandbox.LogText().find("Number Of Files Extracted"), std::string::npos);
    EXPECT_EQ(g_reapAnalysisThread, 0);
}

TEST_F(AnalysisDialogTest, EscAnsweredNoIsSwallowedAndTheWorkerGoesOn) {
    sandbox.SetSources({sandbox.WriteArchive("four.zip", kFour)});
    CProgressBar dialog(list);
    kvtest::EndIfStillOpen(dialog);
    ScriptedMessageBox boxes({platform::IDNO});
    int ended = 0;
    auto previous = platform::SetEndProcessHook([&](int) { ++ended; });
    list.afterInsert = [&](int rows) {
        // Keys come from the event loop, not from inside a worker's call.
        if (rows == 1)
            QTimer::singleShot(0, &dialog, [&] {
                EXPECT_TRUE(SendKey(dialog, Qt::Key_Escape));
                EXPECT_TRUE(SendKey(dialog, Qt::Key_F1));
            });
    };
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    platform::SetEndProcessHook(previous);
    EXPECT_EQ(boxes.AskedTexts(), std::vector<std::wstring>{kExitQuestion});
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(g_analysisThread.Join(), platform::WorkerEnding::Completed);
    EXPECT_EQ(list.rows.size(), 4u);
}

TEST_F(AnalysisDialogTest, EscAnsweredYesEndsTheProcess) {
    sandbox.SetSources({sandbox.WriteArchive("four.zip", kFour)});
    CProgressBar dialog(list);
    kvtest::EndIfStillOpen(dialog);
    ScriptedMessageBox boxes({platform::IDYES});
    std::vector<int> codes;
    auto previous = platform::SetEndProcessHook([&](int code) { codes.push_back(code); });
    list.afterInsert = [&](int rows) {
        if (rows == 1)
            QTimer::singleShot(0, &dialog, [&] { SendKey(dialog, Qt::Key_Escape); });
    };
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    platform::SetEndProcessHook(previous);
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_EQ(boxes.AskedTexts(), std::vector<std::wstring>{kExitQuestion});
    // The worker was out of the archive before it was closed.
    EXPECT_EQ(g_analysisThread.Ending(), platform::WorkerEnding::Stopped);
}
