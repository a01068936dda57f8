// A whole repair from the main window: two archives chosen, Repair, the
// preview's analysis, Save All into a folder, the saving pass and the
// completion, with the real dialogs of every step.
#include "app/single_instance.h"
#include "app/startup_splash.h"
#include "app/velmor_dlg.h"
#include "app/workflow_dialogs.h"
#include "engine/scan_state.h"
#include "log/gui/view_log_dialog.h"
#include "platform/process.h"
#include "platform/qt/folder_browser_qt.h"
#include "res/resource_ids.h"
#include "tests/support/scripted_message_box.h"
#include "tests/support/zip_writer.h"
#include "workflow/gui/preview_dialog.h"
#include "workflow/repair_state.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
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

// A private installation folder, registry store and log, two archives on
// disk, and the process end and folder browser recorded.
class WholeRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_dir.path().toStdString();
        fs::create_directories(Install());
        fs::create_directories(Destination());
        kvtest::WriteFileBytes(m_root / "registry.ini",
                               "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=" + Install().string() + "\n");
        ::setenv("KVZIP_REGISTRY", (m_root / "registry.ini").c_str(), 1);
        g_appFolder = Install().wstring();
        g_repairMode = 0;
        g_skipPreview = 0;
        g_startupSplashWait = std::chrono::milliseconds(0);
        CSingleInstance::SetServerName(QStringLiteral("kvzip-whole-run-%1").arg(::getpid()));
        WriteArchives("letters.zip", "photos.zip");
        m_previousEnd = platform::SetEndProcessHook([this](int code) { m_ended.push_back(code); });
        m_previousBrowser =
            platform::SetFolderBrowserHook([this](const QString&) -> std::optional<std::wstring> {
                return Destination().wstring();
            });
    }

    void TearDown() override {
        platform::SetEndProcessHook(m_previousEnd);
        platform::SetFolderBrowserHook(m_previousBrowser);
        CSingleInstance::SetServerName(QString());
        FreeSourceFiles();
        g_repairMode = 0;
        ::unsetenv("KVZIP_REGISTRY");
    }

    fs::path Install() const { return m_root / "install"; }
    fs::path Destination() const { return m_root / "out"; }
    // The two archives, a sound one of two files and one of a single file.
    void WriteArchives(const char* first, const char* second) {
        m_first = m_root / first;
        m_second = m_root / second;
        fs::create_directories(m_first.parent_path());
        fs::create_directories(m_second.parent_path());
        kvtest::WriteFileBytes(First(), ArchiveOf({{"a.txt", "alpha"}, {"dir/b.txt", "bravo"}}));
        kvtest::WriteFileBytes(Second(), ArchiveOf({{"c.txt", "charlie"}}));
    }
    fs::path First() const { return m_first; }
    fs::path Second() const { return m_second; }
    static QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }
    std::string Log() const {
        return kvtest::ReadFileBytes(Install() / "Activity Log.txt").value_or("");
    }
    // The preview once its first analysis has run and its buttons are back.
    static CPreview* AnalysedPreview() {
        auto* preview = dynamic_cast<CPreview*>(QApplication::activeModalWidget());
        if (preview == nullptr || g_runAnalysisOnPaint != 0 || g_analysisThread.IsRunning() ||
            !preview->GetDlgItem(res::IDC_BACK)->isEnabled())
            return nullptr;
        return preview;
    }

    std::vector<int> m_ended;

private:
    QTemporaryDir m_dir;
    fs::path m_root;
    fs::path m_first;
    fs::path m_second;
    platform::EndProcessHook m_previousEnd;
    platform::FolderBrowserHook m_previousBrowser;
};

// Two archives, sound or not, what the completion and the log say, and
// what is on disk: nothing is claimed that is not there, and no archive's
// files take the place of another's.
struct RunCase {
    const char* label;
    const char* first;
    const char* second;
    bool damaged;
    QStringList completion;
    std::vector<const char*> logMarks; // after step 3, in order
    // Below Repair: a file and its bytes, or a folder that must not be there
    // (no bytes).
    std::vector<std::pair<const char*, std::optional<std::string>>> onDisk;
    const char* closing;
};

class WholeRuns : public WholeRun, public ::testing::WithParamInterface<RunCase> {};

} // namespace

TEST_P(WholeRuns, FromTheMainWindowThroughPreviewAndSavingToTheCompletion) {
    WriteArchives(GetParam().first, GetParam().second);
    if (GetParam().damaged) {
        // A stored entry with a byte turned, and a file that is no archive.
        kvtest::ZipWriter zip;
        zip.Add({.name = "a.txt", .content = "alpha"});
        zip.Add({.name = "dir/b.txt", .content = "bravo", .method = 8});
        zip.AddCentralDirectory();
        std::string bytes = zip.Bytes();
        kvtest::FlipByte(bytes, zip.Entry(0).dataOffset, 0x20);
        kvtest::WriteFileBytes(First(), bytes);
        kvtest::WriteFileBytes(Second(), kvtest::NoiseBytes(4000, 9));
    }
    ScriptedMessageBox boxes;
    const CWorkflowDialogs workflowDialogs;
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.show();
    dialog.AddSourceFiles({Q(First()), Q(Second())});

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
        } else if (CPreview* preview = AnalysedPreview(); preview && !saved) {
            saved = true;
            mainHiddenDuringPreview = !dialog.isVisible();
            QTimer::singleShot(0, preview->GetDlgItemAs<QPushButton>(res::IDC_SAVE_ALL),
                               &QPushButton::click);
        } else if (auto* open = dynamic_cast<CPreview*>(modal); open && completions > 0) {
            // The process would have ended here; the test closes the rest.
            open->EndDialog(platform::IDCANCEL);
        }
    });
    user.start(20);
    dialog.SendCommand(res::IDC_REPAIR);
    user.stop();

    EXPECT_TRUE(mainHiddenDuringPreview);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(m_ended, std::vector<int>{0});
    EXPECT_TRUE(boxes.AskedTexts().empty());
    EXPECT_EQ(completionText, GetParam().completion);
    // Salvage keeps every byte, whatever the verdict.
    for (const auto& [path, bytes] : GetParam().onDisk) {
        if (bytes)
            EXPECT_EQ(kvtest::ReadFileBytes(Destination() / "Repair" / path), *bytes) << path;
        else
            EXPECT_FALSE(fs::exists(Destination() / "Repair" / path)) << path;
    }

    // The log tells the whole run in order.
    const std::string log = Log();
    std::size_t at = 0;
    for (const char* mark :
         {"Start Log File", "Step 1 :- Source Files Selection", "Source Files :", GetParam().first,
          GetParam().second, "Quick Repair", "Step 2 :- Analysis Of Files",
          "Total Files Count :    2", "Step 3 :- Files Saving"}) {
        const std::size_t found = log.find(mark, at);
        ASSERT_NE(found, std::string::npos) << mark << " after offset " << at << " in\n" << log;
        at = found;
    }
    for (const char* mark : GetParam().logMarks) {
        const std::size_t found = log.find(mark, at);
        ASSERT_NE(found, std::string::npos) << mark << " after offset " << at << " in\n" << log;
        at = found;
    }
    EXPECT_TRUE(log.ends_with(GetParam().closing)) << log;
}

// The main window runs its own modal loop, as the program runs it: Back in
// the preview must land in it again, not end it (and with it the program).
TEST_F(WholeRun, BackFromThePreviewReturnsToTheMainWindowReadyForAnotherRepair) {
    ScriptedMessageBox boxes{platform::IDYES, platform::IDYES, platform::IDYES};
    g_repairMode = 1;
    const CWorkflowDialogs workflowDialogs;
    CVelmorDlg dialog;
    dialog.m_startupFiles = {Q(First()), Q(Second())};

    enum class Step { repair, back, again, backAgain, exit, done };
    Step step = Step::repair;
    QStringList rowsAfterBack;
    bool advanceAfterBack = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        switch (step) {
        case Step::repair:
        case Step::again:
            if (modal == &dialog && dialog.isVisible()) {
                if (step == Step::again) {
                    rowsAfterBack = dialog.SourcePaths();
                    advanceAfterBack = dialog.m_advanceRepairRadio->isChecked();
                }
                step = step == Step::repair ? Step::back : Step::backAgain;
                QTimer::singleShot(0, dialog.m_repairButton, &QPushButton::click);
            }
            break;
        case Step::back:
        case Step::backAgain:
            if (CPreview* preview = AnalysedPreview()) {
                step = step == Step::back ? Step::again : Step::exit;
                QTimer::singleShot(0, preview->GetDlgItemAs<QPushButton>(res::IDC_BACK),
                                   &QPushButton::click);
            }
            break;
        case Step::exit:
            if (modal == &dialog && dialog.isVisible()) {
                step = Step::done;
                QTimer::singleShot(0, &dialog, [&] { dialog.SendCommand(res::ID_FILE_EXIT); });
            }
            break;
        case Step::done:
            break;
        }
    });
    user.start(20);
    const int result = dialog.DoModal();
    user.stop();

    EXPECT_EQ(result, platform::IDCANCEL);
    EXPECT_EQ(step, Step::done);
    EXPECT_EQ(rowsAfterBack, (QStringList{Q(First()), Q(Second())}));
    EXPECT_TRUE(advanceAfterBack);
    EXPECT_TRUE(m_ended.empty());
    EXPECT_EQ(boxes.AskedTexts(), (std::vector<std::wstring>{
                                      L"Do you want to go to previous step ?",
                                      L"Do you want to go to previous step ?",
                                      L"Do you want to exit?",
                                  }));
    // Each Repair ran its analysis: the second one after the first Back.
    const std::string log = Log();
    const std::size_t back = log.find("Return Back to Previoue Step");
    ASSERT_NE(back, std::string::npos) << log;
    EXPECT_NE(log.find("Step 2 :- Analysis Of Files", back), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WholeRuns,
    ::testing::Values(
        RunCase{"clean",
                "letters.zip",
                "photos.zip",
                false,
                {QStringLiteral("Saving Completed Successfully")},
                {"letters\r\nSaved 2 files: 2 verified", "photos\r\nSaved 1 file: 1 verified"},
                {{"letters/a.txt", "alpha"},
                 {"letters/dir/b.txt", "bravo"},
                 {"photos/c.txt", "charlie"}},
                "Repairing Completed successfully***********************************"},
        RunCase{"withProblems",
                "letters.zip",
                "photos.zip",
                true,
                {QStringLiteral("Saved 2 files: 1 verified, 1 damaged"),
                 QStringLiteral("photos.zip: no ZIP data found")},
                {"letters\r\nSaved 2 files: 1 verified, 1 damaged",
                 "\r\na.txt : damaged: its CRC-32 differs from the stored one",
                 "photos\r\nNothing saved: no ZIP data found"},
                // No folder for an archive without ZIP data.
                {{"letters/a.txt", "Alpha"}, {"letters/dir/b.txt", "bravo"}, {"photos", {}}},
                "Repairing Completed with problems***********************************"},
        RunCase{"sameNameInTwoFolders",
                "d1/a.zip",
                "d2/a.zip",
                false,
                {QStringLiteral("Saving Completed Successfully")},
                {"a\r\nSaved 2 files: 2 verified", "a (2)\r\nSaved 1 file: 1 verified"},
                {{"a/a.txt", "alpha"}, {"a (2)/c.txt", "charlie"}, {"a/c.txt", {}}},
                "Repairing Completed successfully***********************************"}),
    [](const auto& test) { return std::string(test.param.label); });
