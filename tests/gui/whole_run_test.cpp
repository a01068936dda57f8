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

} // namespace

TEST(WholeRun, FromTheMainWindowThroughPreviewAndSavingToTheCompletion) {
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
    kvtest::WriteFileBytes(first, ArchiveOf({{"a.txt", "alpha"}, {"dir/b.txt", "bravo"}}));
    kvtest::WriteFileBytes(second, ArchiveOf({{"c.txt", "charlie"}}));

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
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* completion = dynamic_cast<CViewLog*>(modal)) {
            ++completions;
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
    EXPECT_EQ(kvtest::ReadFileBytes(destination / "Repair" / "letters" / "a.txt"), "alpha");
    EXPECT_EQ(kvtest::ReadFileBytes(destination / "Repair" / "letters" / "dir" / "b.txt"), "bravo");
    EXPECT_EQ(kvtest::ReadFileBytes(destination / "Repair" / "photos" / "c.txt"), "charlie");

    // The log tells the whole run in order.
    const std::string log = kvtest::ReadFileBytes(install / "Activity Log.txt").value_or("");
    std::size_t at = 0;
    for (const char* mark :
         {"Start Log File", "Step 1 :- Source Files Selection", "Source Files :", "letters.zip",
          "photos.zip", "Quick Repair", "Step 2 :- Analysis Of Files", "Total Files Count :    2",
          "Step 3 :- Files Saving", "Repairing Completed successfully"}) {
        const std::size_t found = log.find(mark, at);
        ASSERT_NE(found, std::string::npos) << mark << " after offset " << at << " in\n" << log;
        at = found;
    }

    platform::SetEndProcessHook(previousEnd);
    platform::SetFolderBrowserHook(previousBrowser);
    CSingleInstance::SetServerName(QString());
    FreeSourceFiles();
    ::unsetenv("KVZIP_REGISTRY");
}
