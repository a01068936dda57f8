// A whole repair from the main window: two archives chosen, Repair, the
// preview's analysis, Save All into a folder, the saving pass and the
// completion, with the real dialogs of every step.
#include "app/single_instance.h"
#include "app/startup_splash.h"
#include "app/velmor_dlg.h"
#include "app/workflow_dialogs.h"
#include "engine/scan_state.h"
#include "log/view_log_dialog.h"
#include "platform/folder_browser_qt.h"
#include "platform/process.h"
#include "res/resource_ids.h"
#include "tests/support/scripted_message_box.h"
#include "tests/support/zip_writer.h"
#include "workflow/preview_dialog.h"
#include "workflow/repair_state.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ArchiveOf(const std::vector<std::pair<std::string, std::string>>& files) {
    kvtest::ZipWriter zip;
    for (const auto& [name, content] : files)
        zip.Add({.name = name, .content = content, .method = 8});
    zip.AddCentralDirectory();
    return zip.Bytes();
}

// Two archives, sound or not, and what the completion and the log say.
struct RunCase {
    const char* label;
    bool damaged;
    QStringList completion;
    std::vector<const char*> logMarks; // after step 3, in order
};

class WholeRun : public ::testing::TestWithParam<RunCase> {};

} // namespace

TEST_P(WholeRun, FromTheMainWindowThroughPreviewAndSavingToTheCompletion) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path install = root / "install";
    const fs::path destination = root / "out";
    fs::create_directories(install);
    fs::create_directories(destination);
    kvtest::WriteFileBytes(root / "registry.ini",
                           "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=" + install.string() + "\n");
    ::setenv("KVZIP_REGISTRY", (root / "registry.ini").c_str(), 1);
    g_appFolder = install.wstring();
    g_repairMode = 0;
    g_skipPreview = 0;
    g_startupSplashWait = std::chrono::milliseconds(0);
    CSingleInstance::SetServerName(QStringLiteral("kvzip-whole-run-%1").arg(::getpid()));

    const fs::path first = root / "letters.zip";
    const fs::path second = root / "photos.zip";
    if (GetParam().damaged) {
        // A stored entry with a byte turned, and a file that is no archive.
        kvtest::ZipWriter zip;
        zip.Add({.name = "a.txt", .content = "alpha"});
        zip.Add({.name = "dir/b.txt", .content = "bravo", .method = 8});
        zip.AddCentralDirectory();
        std::string bytes = zip.Bytes();
        kvtest::FlipByte(bytes, zip.Entry(0).dataOffset, 0x20);
        kvtest::WriteFileBytes(first, bytes);
        kvtest::WriteFileBytes(second, kvtest::NoiseBytes(4000, 9));
    } else {
        kvtest::WriteFileBytes(first, ArchiveOf({{"a.txt", "alpha"}, {"dir/b.txt", "bravo"}}));
        kvtest::WriteFileBytes(second, ArchiveOf({{"c.txt", "charlie"}}));
    }

    std::vector<int> ended;
    auto previousEnd = platform::SetEndProcessHook([&](int code) { ended.push_back(code); });
    auto previousBrowser = platform::SetFolderBrowserHook(
        [&](const QString&) -> std::optional<std::wstring> { return destination.wstring(); });
    ScriptedMessageBox boxes;

    const CWorkflowDialogs workflowDialogs;
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.show();
    dialog.AddSourceFiles(
        {QString::fromStdString(first.string()), QString::fromStdString(second.string())});

    // Plays the user in whichever dialog is on top.
    bool saved = false;
    bool mainHiddenDuringPreview = false;
    int completions = 0;
    QStringList completionText;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* completion = dynamic_cast<CViewLog*>(modal)) {
            ++completions;
            completionText =
                completion->GetDlgItemText(res::IDC_COMPLETION_TEXT).split(QLatin1Char('\n'));
            // Clicked after this slot returns: a timer does not fire again
            // while its own slot still runs under a modal loop.
            QTimer::singleShot(0, completion->GetDlgItemAs<QPushButton>(res::IDC_VIEW_LOG_OK),
                               &QPushButton::click);
        } else if (auto* preview = dynamic_cast<CPreview*>(modal)) {
            auto* saveAll = preview->GetDlgItemAs<QPushButton>(res::IDC_SAVE_ALL);
            if (!saved && saveAll->isEnabled() && g_runAnalysisOnPaint == 0 &&
                !g_analysisThread.IsRunning()) {
                saved = true;
                mainHiddenDuringPreview = !dialog.isVisible();
                QTimer::singleShot(0, saveAll, &QPushButton::click);
            } else if (completions > 0) {
                // The process would have ended here; the test closes the rest.
                preview->EndDialog(platform::IDCANCEL);
            }
        }
    });
    user.start(20);
    dialog.SendCommand(res::IDC_REPAIR);
    user.stop();

    EXPECT_TRUE(mainHiddenDuringPreview);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_TRUE(boxes.AskedTexts().empty());
    EXPECT_EQ(completionText, GetParam().completion);
    // Salvage keeps every byte, whatever the verdict.
    EXPECT_EQ(kvtest::ReadFileBytes(destination / "Repair" / "letters" / "a.txt"),
              GetParam().damaged ? "Alpha" : "alpha");
    EXPECT_EQ(kvtest::ReadFileBytes(destination / "Repair" / "letters" / "dir" / "b.txt"), "bravo");
    if (!GetParam().damaged)
        EXPECT_EQ(kvtest::ReadFileBytes(destination / "Repair" / "photos" / "c.txt"), "charlie");

    // The log tells the whole run in order.
    const std::string log = kvtest::ReadFileBytes(install / "Activity Log.txt").value_or("");
    std::size_t at = 0;
    for (const char* mark :
         {"Start Log File", "Step 1 :- Source Files Selection", "Source Files :", "letters.zip",
          "photos.zip", "Quick Repair", "Step 2 :- Analysis Of Files", "Total Files Count :    2",
          "Step 3 :- Files Saving"}) {
        const std::size_t found = log.find(mark, at);
        ASSERT_NE(found, std::string::npos) << mark << " after offset " << at << " in\n" << log;
        at = found;
    }
    for (const char* mark : GetParam().logMarks) {
        const std::size_t found = log.find(mark, at);
        ASSERT_NE(found, std::string::npos) << mark << " after offset " << at << " in\n" << log;
        at = found;
    }
    EXPECT_TRUE(log.ends_with("Repairing Completed successfully"
                              "***********************************"));

    platform::SetEndProcessHook(previousEnd);
    platform::SetFolderBrowserHook(previousBrowser);
    CSingleInstance::SetServerName(QString());
    FreeSourceFiles();
    ::unsetenv("KVZIP_REGISTRY");
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WholeRun,
    ::testing::Values(RunCase{"clean",
                              false,
                              {QStringLiteral("Saving Completed Successfully")},
                              {"letters\r\nSaved 2 files: 2 verified",
                               "photos\r\nSaved 1 file: 1 verified"}},
                      RunCase{"withProblems",
                              true,
                              {QStringLiteral("Saved 2 files: 1 verified, 1 damaged"),
                               QStringLiteral("photos.zip: no ZIP data found")},
                              {"letters\r\nSaved 2 files: 1 verified, 1 damaged",
                               "\r\na.txt : damaged: its CRC-32 differs from the stored one",
                               "photos\r\nNothing saved: no ZIP data found"}}),
    [](const auto& info) { return std::string(info.param.label); });
