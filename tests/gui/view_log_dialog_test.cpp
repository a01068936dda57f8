#include "log/gui/view_log_dialog.h"
#include "log/open_activity_log.h"
#include "platform/qt/shell_open_qt.h"
#include "res/resource_ids.h"
#include "tests/gui/process_hooks.h"
#include "tests/support/log_test_folder.h"
#include "tests/support/scripted_message_box.h"
#include "workflow/repair_state.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string kCompletionBanner = "\r\n\r\n******************* Repairing Completed "
                                      "successfully***********************************";

// A log in a folder of its own, named by the registry store as FilePath.
class ViewLogTest : public ::testing::Test {
protected:
    void SetUp() override { UseFolder("install"); }

    void UseFolder(const std::string& name) {
        m_install = m_folder.Root() / name;
        fs::create_directories(m_install);
        m_folder.WriteStore(m_install.string(), std::nullopt);
        g_appFolder = m_install.wstring();
        g_appTitle = L"Kelvane for Zip";
    }
    fs::path LogFile() const { return m_install / "Activity Log.txt"; }

    LogTestFolder m_folder;
    fs::path m_install;
    ProcessHooks m_hooks;
};

TEST_F(ViewLogTest, OpensWithTheCompletionBannerAtTheEndOfTheLog) {
    LogTestFolder::Write(LogFile(), "\r\nearlier lines");
    CViewLog dialog;
    dialog.CreateFromTemplate();
    EXPECT_EQ(LogTestFolder::Read(LogFile()), "\r\nearlier lines" + kCompletionBanner);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kelvane for Zip"));
    auto* check = dialog.GetDlgItemAs<QCheckBox>(res::IDC_VIEW_LOG_CHECK);
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(dialog.GetDlgItemText(res::IDC_VIEW_LOG_OK), QStringLiteral("OK"));
    EXPECT_TRUE(m_hooks.Ends().empty());
}

class ViewLogOk : public ViewLogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ViewLogOk, EndsTheProcessAndOpensTheLogOnlyWhenChecked) {
    const bool view = GetParam();
    CViewLog dialog;
    QTimer::singleShot(0, [&] {
        dialog.CheckDlgButton(res::IDC_VIEW_LOG_CHECK, view);
        dialog.GetDlgItemAs<QPushButton>(res::IDC_VIEW_LOG_OK)->click();
    });
    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
    if (view)
        EXPECT_EQ(m_hooks.Opened(), std::vector<std::wstring>{LogFile().wstring()});
    else
        EXPECT_TRUE(m_hooks.Opened().empty());
}

INSTANTIATE_TEST_SUITE_P(CheckedOrNot, ViewLogOk, ::testing::Bool());

// A pass with problems says what happened instead of the success line;
// the dialog grows to show it whole, and "Open Output Folder" opens the
// run's Repair folder.
TEST_F(ViewLogTest, SaysWhatThePassCameToAndOpensTheOutputFolder) {
    PassTotals totals;
    totals.repairFolder = (m_folder.Root() / "dest" / "Repair").wstring();
    totals.verdicts = {.verified = 1180, .damaged = 21, .partial = 3, .notSaved = 2};
    SourceTotals fake;
    fake.source.path = L"/archives/fake.zip";
    fake.problem = SourceProblem::noZipData;
    totals.sources = {fake};
    CViewLog dialog(totals);
    CViewLog clean;
    clean.CreateFromTemplate();
    QStringList shown;
    bool whole = false;
    QTimer::singleShot(0, [&] {
        shown = dialog.GetDlgItemText(res::IDC_COMPLETION_TEXT).split(QLatin1Char('\n'));
        // Nothing of the text is cut off, and the dialog grew for it.
        auto* text = dialog.GetDlgItemAs<QLabel>(res::IDC_COMPLETION_TEXT);
        whole =
            text->heightForWidth(text->width()) <= text->height() &&
            dialog.Client()->rect().contains(text->geometry()) &&
            dialog.Client()->rect().contains(dialog.GetDlgItem(res::IDC_VIEW_LOG_OK)->geometry()) &&
            dialog.Client()->height() > clean.Client()->height();
        dialog.CheckDlgButton(res::IDC_OPEN_FOLDER_CHECK, true);
        dialog.GetDlgItemAs<QPushButton>(res::IDC_VIEW_LOG_OK)->click();
    });
    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    EXPECT_EQ(shown, (QStringList{
                         QStringLiteral("Saved 1,204 files: 1,180 verified, 21 damaged, 3 partial; "
                                        "2 not saved"),
                         QStringLiteral("fake.zip: no ZIP data found")}));
    EXPECT_TRUE(whole);
    EXPECT_EQ(m_hooks.Opened(), std::vector<std::wstring>{totals.repairFolder});
    EXPECT_EQ(clean.GetDlgItemText(res::IDC_COMPLETION_TEXT),
              QStringLiteral("Saving Completed Successfully"));
    // The log's closing line says it too: the clean one's banner first,
    // then this one's.
    EXPECT_TRUE(LogTestFolder::Read(LogFile()).ends_with(kCompletionBanner +
                                                         "\r\n\r\n******************* Repairing "
                                                         "Completed with problems"
                                                         "***********************************"));
}

TEST_F(ViewLogTest, EnterPressesOk) {
    CViewLog dialog;
    QTimer::singleShot(0, [&] { QTest::keyClick(&dialog, Qt::Key_Return); });
    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
}

TEST_F(ViewLogTest, CloseBoxEndsTheProcessWithoutAQuestion) {
    ScriptedMessageBox boxes;
    CViewLog dialog;
    QTimer::singleShot(0, [&] {
        dialog.CheckDlgButton(res::IDC_VIEW_LOG_CHECK, true);
        dialog.close();
    });
    dialog.DoModal();
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
    EXPECT_TRUE(m_hooks.Opened().empty());
    EXPECT_TRUE(boxes.AskedTexts().empty());
}

class ViewLogEscNo : public ViewLogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ViewLogEscNo, KeepsTheDialogAndTheCheckBox) {
    const bool checked = GetParam();
    ScriptedMessageBox boxes({platform::IDNO});
    CViewLog dialog;
    bool stayed = false;
    bool keptState = false;
    QTimer::singleShot(0, [&] {
        dialog.CheckDlgButton(res::IDC_VIEW_LOG_CHECK, checked);
        QTest::keyClick(dialog.GetDlgItem(res::IDC_VIEW_LOG_CHECK), Qt::Key_Escape);
        stayed = dialog.isVisible();
        keptState = dialog.IsDlgButtonChecked(res::IDC_VIEW_LOG_CHECK) == checked;
        dialog.EndDialog(42);
    });
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(keptState);
    EXPECT_TRUE(m_hooks.Ends().empty());
    const auto asked = boxes.AskedBoxes();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L" Saving Process is in running, Do you want to exit ? ");
    EXPECT_EQ(asked[0].caption, L"Kelvane for Zip");
    EXPECT_EQ(asked[0].style,
              platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL);
    EXPECT_EQ(asked[0].owner, static_cast<QWidget*>(&dialog));
}

INSTANTIATE_TEST_SUITE_P(CheckedOrNot, ViewLogEscNo, ::testing::Bool());

TEST_F(ViewLogTest, EscAnsweredYesEndsTheProcessWithoutOpeningTheLog) {
    ScriptedMessageBox boxes({platform::IDYES});
    CViewLog dialog;
    QTimer::singleShot(0, [&] {
        dialog.CheckDlgButton(res::IDC_VIEW_LOG_CHECK, true);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    // The hook keeps the process: the key then cancels the dialog.
    EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
    EXPECT_TRUE(m_hooks.Opened().empty());
}

TEST_F(ViewLogTest, OpensTheWholePathOfALogFolderWithBlanks) {
    UseFolder("Program Files/Kelvane  for Zip");
    OpenActivityLogInNotepad();
    const auto opened = m_hooks.Opened();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], LogFile().wstring());
    // The desktop opener gets it as one local file.
    EXPECT_EQ(platform::ShellTargetUrl(opened[0]).toLocalFile().toStdWString(), opened[0]);
}

TEST_F(ViewLogTest, OpensTheFileTheWriterAppendsTo) {
    const fs::path logs = m_folder.Root() / "logs";
    fs::create_directories(logs);
    m_folder.WriteStore(m_install.string(), logs.string());
    OpenActivityLogInNotepad();
    EXPECT_EQ(m_hooks.Opened(), std::vector<std::wstring>{(logs / "Activity Log.txt").wstring()});
}

} // namespace
