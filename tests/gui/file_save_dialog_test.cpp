#include "controls/text_progress_ctrl.h"
#include "controls/transparent_static2.h"
#include "engine/scan_state.h"
#include "log/gui/view_log_dialog.h"
#include "platform/qt/global_dialog_qt.h"
#include "res/resource_ids.h"
#include "tests/gui/process_hooks.h"
#include "tests/support/log_test_folder.h"
#include "tests/support/scripted_message_box.h"
#include "tests/support/zip_writer.h"
#include "workflow/gui/file_save_dialog.h"
#include "workflow/gui/password_dialog.h"
#include "workflow/gui/save_msg_dialog.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_state.h"
#include "workflow/save_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string kStep3 =
    "\r\n\r\n*************************** Step 3 :- Files Saving********************************"
    "\r\n\r\nDestination Files Path :\r\n________________________\r\n\r\n";
const std::string kCompletion = "\r\n\r\n******************* Repairing Completed "
                                "successfully***********************************";
const std::string kWithProblems = "\r\n\r\n******************* Repairing Completed with "
                                  "problems***********************************";
const std::string kAborted =
    "\r\n\r\n******************* Repairing aborted***********************************";

std::string ArchiveOf(const std::vector<std::pair<std::string, std::string>>& files) {
    kvtest::ZipWriter zip;
    for (const auto& [name, content] : files)
        zip.Add({.name = name, .content = content, .method = 8});
    zip.AddCentralDirectory();
    return zip.Bytes();
}

// Answers the modal dialogs that a pass opens on top of the saving dialog:
// the overwrite prompt by `onPrompt`, the completion dialog with OK.
class ModalDriver {
public:
    std::function<void(CSaveMsg&)> onPrompt;
    // The password prompt: Skip unless the test types something.
    std::function<void(CPasswordDlg&)> onPassword = [](CPasswordDlg& dialog) { dialog.reject(); };
    int prompts = 0;
    int passwordPrompts = 0;
    int completions = 0;

    ModalDriver() : onPrompt([](CSaveMsg& prompt) { prompt.reject(); }) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] { Look(); });
        m_poll.start(5);
    }

private:
    // Each answer closes its dialog at once, so a dialog seen again is a
    // new question (the prompt is one object asked many times).
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* prompt = dynamic_cast<CSaveMsg*>(modal)) {
            ++prompts;
            onPrompt(*prompt);
            if (prompt->isVisible())
                ADD_FAILURE() << "the prompt was left unanswered";
        } else if (auto* password = dynamic_cast<CPasswordDlg*>(modal)) {
            ++passwordPrompts;
            onPassword(*password);
        } else if (auto* completion = dynamic_cast<CViewLog*>(modal)) {
            ++completions;
            completion->GetDlgItemAs<QPushButton>(res::IDC_VIEW_LOG_OK)->click();
        }
    }

    QTimer m_poll;
};

void Click(platform::CDialog& dialog, int id) {
    dialog.GetDlgItemAs<QPushButton>(id)->click();
}

class FileSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_install = m_folder.Root() / "install";
        m_dest = m_folder.Root() / "dest";
        fs::create_directories(m_install);
        fs::create_directories(m_dest);
        m_folder.WriteStore(m_install.string(), std::nullopt);
        g_appFolder = m_install.wstring();
        g_appTitle = L"Kelvane for Zip";
        g_repairMode = 0;
        g_overwriteChoice = OverwriteNotAsked;
        g_saveCurrentOnly = 0;
        g_saveAllFolder = m_dest.wstring();
        g_saveCurrentFolder = m_dest.wstring();
        FreeSourceFiles();
    }
    void TearDown() override { FreeSourceFiles(); }

    fs::path AddSource(const std::string& fileName, const std::string& bytes) {
        const fs::path path = m_folder.Root() / fileName;
        kvtest::WriteFileBytes(path, bytes);
        AppendSourceFile(path.wstring());
        g_sourceFileCount += 1;
        return path;
    }
    void NoSources() { g_sourceFileCount = 0; }
    fs::path Output(const std::string& base) const { return m_dest / "Repair" / base; }
    std::string Log() const { return LogTestFolder::Read(m_install / "Activity Log.txt"); }
    // An archive's lines in the log: its output folder and its totals.
    std::string Folder(const std::string& base,
                       const std::string& totals = "Saved 1 file: 1 verified") const {
        return "\r\n" + Output(base).string() + "\r\n" + totals;
    }

    LogTestFolder m_folder;
    fs::path m_install;
    fs::path m_dest;
    ProcessHooks m_hooks;
    platform::GlobalDialog<CSaveMsg> m_prompt{g_overwritePromptDlg};
    platform::GlobalDialog<CFileSave> m_saving{g_fileSaveDlg};
};

TEST_F(FileSaveTest, SaveAllWritesEveryArchiveAndCompletes) {
    NoSources();
    const fs::path first =
        AddSource("first.zip", ArchiveOf({{"a.txt", "alpha"}, {"dir/b.txt", "bravo"}}));
    const fs::path second = AddSource("second.backup.zip", ArchiveOf({{"c.txt", "charlie"}}));
    ModalDriver driver;
    CFileSave& dialog = *m_saving;

    EXPECT_EQ(dialog.DoModal(), platform::IDOK);

    EXPECT_EQ(kvtest::ReadFileBytes(Output("first") / "a.txt"), "alpha");
    EXPECT_EQ(kvtest::ReadFileBytes(Output("first") / "dir" / "b.txt"), "bravo");
    EXPECT_EQ(kvtest::ReadFileBytes(Output("second.backup") / "c.txt"), "charlie");
    EXPECT_EQ(Log(), kStep3 + Folder("first", "Saved 2 files: 2 verified") +
                         Folder("second.backup") + kCompletion);
    EXPECT_EQ(driver.completions, 1);
    EXPECT_EQ(driver.prompts, 0);
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
    EXPECT_EQ(g_saveDlg, &dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kelvane for Zip"));
    EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_FILE_NAME),
              QString::fromStdWString(second.wstring()));
    EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_FILE_NUMBER), QStringLiteral("2"));
    EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_TOTAL), QStringLiteral("2"));
    EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_FILE_PATH),
              QString::fromStdWString(Output("second.backup").wstring()));
    EXPECT_EQ(dialog.m_currentBar->GetPos(), 100);
    EXPECT_EQ(dialog.m_overallBar->GetPos(), 100);
    EXPECT_TRUE(dialog.IsTimerActive());
    EXPECT_FALSE(g_saveThread.IsRunning());
}

TEST_F(FileSaveTest, SaveCurrentWithSeveralSourcesReturnsToThePreviewEachTime) {
    NoSources();
    AddSource("one.zip", ArchiveOf({{"1.txt", "first"}}));
    AddSource("two.zip", ArchiveOf({{"2.txt", "second"}}));
    ModalDriver driver;
    CFileSave& dialog = *m_saving;

    // The same dialog object serves every Save Current File of the preview.
    for (int number : {2, 1}) {
        g_saveCurrentOnly = 1;
        dialog.SetCurrentFileNumber(number);
        EXPECT_EQ(dialog.DoModal(), platform::IDCANCEL);
        EXPECT_EQ(g_saveCurrentOnly, 0);
        EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_FILE_NUMBER), QStringLiteral("1"));
        EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_TOTAL), QStringLiteral("1"));
    }
    EXPECT_EQ(kvtest::ReadFileBytes(Output("two") / "2.txt"), "second");
    EXPECT_EQ(kvtest::ReadFileBytes(Output("one") / "1.txt"), "first");
    EXPECT_EQ(Log(), kStep3 + Folder("two") + kStep3 + Folder("one"));
    EXPECT_EQ(driver.completions, 0);
    EXPECT_TRUE(m_hooks.Ends().empty());
}

// Encrypted archives of one password are asked about once for the run; an
// archive that the password does not fit is asked again, or skipped.
TEST_F(FileSaveTest, PasswordIsAskedOnceForTheRunAndAgainWhereItDoesNotFit) {
    NoSources();
    const auto locked = [](const std::string& name, const std::string& password, int aes) {
        kvtest::ZipWriter zip;
        zip.Add({.name = "plain.txt", .content = "plain"});
        zip.Add({.name = name,
                 .content = "secret " + name,
                 .method = 8,
                 .password = password,
                 .aesStrength = aes});
        zip.AddCentralDirectory();
        return zip.Bytes();
    };
    AddSource("one.zip", locked("a.txt", "pa ss", 0));
    AddSource("two.zip", locked("b.txt", "pa ss", 3));
    AddSource("three.zip", locked("c.txt", "other", 0));
    ScriptedMessageBox boxes({platform::IDYES, platform::IDNO});
    ModalDriver driver;
    std::vector<QString> typed = {"pa ss", "wrong"};
    driver.onPassword = [&](CPasswordDlg& dialog) {
        auto* edit = dialog.GetDlgItemAs<QLineEdit>(res::IDC_PASSWORD_EDIT);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        EXPECT_TRUE(dialog.IsDlgButtonChecked(res::IDC_PASSWORD_FOR_ALL));
        // Show unmasks the text, as a person checks what they typed.
        dialog.GetDlgItemAs<QCheckBox>(res::IDC_PASSWORD_SHOW)->click();
        EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
        QTest::keyClicks(edit, typed.front());
        typed.erase(typed.begin());
        QTest::keyClick(edit, Qt::Key_Return);
    };

    EXPECT_EQ(m_saving->DoModal(), platform::IDOK);

    // Asked for one.zip, taken for two.zip, asked again for three.zip after
    // the message box, which then lets it be skipped.
    EXPECT_EQ(driver.passwordPrompts, 2);
    EXPECT_TRUE(typed.empty());
    const std::vector<std::wstring> asked = boxes.AskedTexts();
    ASSERT_EQ(asked.size(), 2u);
    for (const std::wstring& text : asked)
        EXPECT_NE(text.find(L"The password does not fit"), std::wstring::npos);
    EXPECT_NE(asked[0].find(L"three.zip"), std::wstring::npos);
    EXPECT_EQ(kvtest::ReadFileBytes(Output("one") / "a.txt"), "secret a.txt");
    EXPECT_EQ(kvtest::ReadFileBytes(Output("two") / "b.txt"), "secret b.txt");
    EXPECT_EQ(kvtest::ReadFileBytes(Output("three") / "plain.txt"), "plain");
    EXPECT_FALSE(fs::exists(Output("three") / "c.txt"));
    EXPECT_NE(Log().find("c.txt : not saved: wrong password"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("pa ss"), std::string::npos);
    EXPECT_EQ(g_runPassword.View(), "pa ss");
}

TEST_F(FileSaveTest, SaveCurrentWithOneSourceCompletes) {
    NoSources();
    AddSource("only", ArchiveOf({{"x.txt", "x-ray"}}));
    g_saveCurrentOnly = 1;
    m_saving->SetCurrentFileNumber(1);
    ModalDriver driver;

    EXPECT_EQ(m_saving->DoModal(), platform::IDOK);

    // A name without an extension is saved into the Repair folder itself.
    EXPECT_EQ(kvtest::ReadFileBytes(m_dest / "Repair" / "x.txt"), "x-ray");
    EXPECT_EQ(Log(), kStep3 + "\r\n" + (m_dest / "Repair").string() + "/" +
                         "\r\nSaved 1 file: 1 verified" + kCompletion);
    EXPECT_EQ(g_saveCurrentOnly, 0);
    EXPECT_EQ(driver.completions, 1);
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
}

TEST_F(FileSaveTest, OverwritePromptAnswersDecideWhatIsSaved) {
    NoSources();
    AddSource("a.zip", ArchiveOf({{"a.txt", "new a"}}));
    AddSource("b.zip", ArchiveOf({{"b.txt", "new b"}}));
    AddSource("c.zip", ArchiveOf({{"c.txt", "new c"}}));
    AddSource("d.zip", ArchiveOf({{"d.txt", "new d"}}));
    for (const char* base : {"a", "b", "d"})
        fs::create_directories(Output(base));
    ModalDriver driver;
    std::vector<int> answers = {res::IDC_PROMPT_YES, res::IDC_PROMPT_NO_ALL};
    std::vector<QString> captions;
    driver.onPrompt = [&](CSaveMsg& prompt) {
        captions.push_back(prompt.windowTitle());
        Click(prompt, answers.at(driver.prompts - 1));
    };

    m_saving->DoModal();

    EXPECT_EQ(driver.prompts, 2);
    EXPECT_EQ(captions, std::vector<QString>(2, QStringLiteral("Kelvane for Zip")));
    EXPECT_EQ(g_overwriteChoice, OverwriteNoToAll);
    EXPECT_EQ(kvtest::ReadFileBytes(Output("a") / "a.txt"), "new a");
    EXPECT_FALSE(fs::exists(Output("b") / "b.txt"));
    // No To All still saves an archive whose folder does not exist.
    EXPECT_EQ(kvtest::ReadFileBytes(Output("c") / "c.txt"), "new c");
    EXPECT_FALSE(fs::exists(Output("d") / "d.txt"));
    // Archives kept unsaved: the run did not save everything.
    EXPECT_EQ(Log(), kStep3 + Folder("a") + Folder("c") + kWithProblems);
}

// Stop, Esc and close: refused while paused, then accepted.
struct AbortCase {
    const char* name;
    std::function<void(CFileSave&)> ask;
    const wchar_t* question;
    int resultAfterYes;
};

class FileSaveAbort : public FileSaveTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(FileSaveAbort, NoKeepsThePauseAndYesEndsWithTheAbortBanner) {
    const AbortCase c = GetParam();
    NoSources();
    AddSource("held.zip", ArchiveOf({{"h.txt", "held"}}));
    AddSource("later.zip", ArchiveOf({{"l.txt", "later"}}));
    fs::create_directories(Output("held"));
    ScriptedMessageBox boxes({platform::IDNO, platform::IDYES});
    ModalDriver driver;
    CFileSave& dialog = *m_saving;
    bool pausedAfterNo = false;
    bool nothingSavedWhilePaused = false;
    QString buttonAfterNo;
    bool timerAfterPause = true;
    driver.onPrompt = [&](CSaveMsg& prompt) {
        // Paused while the worker waits for the answer: it halts at the
        // first safe point after it, before anything of the file is saved.
        dialog.OnPauseResume();
        timerAfterPause = dialog.IsTimerActive();
        Click(prompt, res::IDC_PROMPT_YES);
        QTimer::singleShot(20, &dialog, [&] {
            c.ask(dialog);
            pausedAfterNo = g_savePaused == 1 && g_saveThread.IsRunning();
            buttonAfterNo = dialog.GetDlgItemText(res::IDC_SAVE_PAUSE);
            QTest::qWait(100);
            nothingSavedWhilePaused = !fs::exists(Output("held") / "h.txt");
            c.ask(dialog);
        });
    };

    EXPECT_EQ(dialog.DoModal(), c.resultAfterYes);

    EXPECT_FALSE(timerAfterPause);
    EXPECT_TRUE(pausedAfterNo);
    EXPECT_EQ(buttonAfterNo, QStringLiteral("Resume"));
    EXPECT_TRUE(nothingSavedWhilePaused);
    EXPECT_FALSE(g_saveThread.IsRunning());
    // Stopped before anything of it was saved, and the log says so.
    EXPECT_EQ(Log(), kStep3 + Folder("held", "Nothing saved") + kAborted);
    EXPECT_FALSE(fs::exists(Output("later")));
    EXPECT_EQ(m_hooks.Ends(), std::vector<int>{0});
    EXPECT_EQ(driver.completions, 0);
    // The two questions, then what the stop left saved.
    auto asked = boxes.AskedBoxes();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked.back().text, L"Saving stopped.\r\nNothing saved\r\n1 archive not reached");
    EXPECT_EQ(asked.back().style, platform::MB_OK | platform::MB_ICONINFORMATION);
    asked.pop_back();
    for (const auto& box : asked) {
        EXPECT_EQ(box.text, c.question);
        EXPECT_EQ(box.caption, L"Kelvane for Zip");
        EXPECT_EQ(box.style,
                  platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL);
        EXPECT_EQ(box.owner, static_cast<QWidget*>(&dialog));
    }
}

INSTANTIATE_TEST_SUITE_P(
    StopEscClose, FileSaveAbort,
    ::testing::Values(AbortCase{"Stop", [](CFileSave& d) { Click(d, res::IDC_SAVE_STOP); },
                                L"Saving is in Process,Do you want to Stop?", platform::IDOK},
                      AbortCase{
                          "Esc",
                          [](CFileSave& d) {
                              QTest::keyClick(d.GetDlgItem(res::IDC_SAVE_PAUSE), Qt::Key_Escape);
                          },
                          L"Saving is in process, Do you want to exit ? ", platform::IDCANCEL},
                      AbortCase{"Close", [](CFileSave& d) { d.close(); },
                                L"Saving is in Process,Do you want to exit?", platform::IDOK}),
    [](const ::testing::TestParamInfo<AbortCase>& test) { return test.param.name; });

TEST_F(FileSaveTest, ResumeAfterARefusedEscLetsThePassFinish) {
    NoSources();
    AddSource("held.zip", ArchiveOf({{"h.txt", "held"}}));
    fs::create_directories(Output("held"));
    ScriptedMessageBox boxes({platform::IDNO});
    ModalDriver driver;
    CFileSave& dialog = *m_saving;
    driver.onPrompt = [&](CSaveMsg& prompt) {
        dialog.OnPauseResume();
        Click(prompt, res::IDC_PROMPT_YES);
        QTimer::singleShot(20, &dialog, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            Click(dialog, res::IDC_SAVE_PAUSE);
        });
    };

    EXPECT_EQ(dialog.DoModal(), platform::IDOK);

    EXPECT_EQ(dialog.GetDlgItemText(res::IDC_SAVE_PAUSE), QStringLiteral("Pause"));
    EXPECT_EQ(g_savePaused, 0);
    EXPECT_EQ(kvtest::ReadFileBytes(Output("held") / "h.txt"), "held");
    EXPECT_EQ(Log(), kStep3 + Folder("held") + kCompletion);
    EXPECT_EQ(driver.completions, 1);
}

// Calls `onPaint` whenever the watched widget paints.
class PaintWatch : public QObject {
public:
    std::function<void()> onPaint;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && onPaint)
            onPaint();
        return false;
    }
};

// A saving dialog that lets the test look at it before its worker starts.
class WatchedFileSave : public CFileSave {
public:
    std::function<void(WatchedFileSave&)> beforeStart;

protected:
    void StartWorker() override {
        if (beforeStart)
            beforeStart(*this);
        CFileSave::StartWorker();
    }
};

// Stop pressed while the worker is on its way to the overwrite prompt (the
// output folder is shown just before it asks): the question waits until
// the prompt is answered and the worker sits still, instead of opening over
// the prompt or under it.
TEST_F(FileSaveTest, StopAsksOnlyOnceTheWorkerHaltsAfterItsPrompt) {
    NoSources();
    AddSource("first.zip", ArchiveOf({{"a.txt", "alpha"}}));
    // Enough files that the second archive is still being saved when a
    // click held back by the prompt (below) lands.
    std::vector<std::pair<std::string, std::string>> secondFiles = {{"b.txt", "bravo"}};
    for (int i = 0; i < 300; ++i)
        secondFiles.emplace_back("more/" + std::to_string(i) + ".txt", "x");
    AddSource("second.zip", ArchiveOf(secondFiles));
    fs::create_directories(Output("first"));
    ModalDriver driver; // closes the prompt: the first archive is passed over
    std::vector<int> promptsWhenAsked;
    bool promptOpenWhenAsked = false;
    const auto previous = platform::SetMessageBoxHandler([&](void*, const std::wstring&,
                                                             const std::wstring&, unsigned) {
        promptsWhenAsked.push_back(driver.prompts);
        promptOpenWhenAsked = dynamic_cast<CSaveMsg*>(QApplication::activeModalWidget()) != nullptr;
        return static_cast<int>(platform::IDNO);
    });
    WatchedFileSave dialog;
    PaintWatch watch;
    bool pressed = false;
    std::function<void()> clickStop;
    watch.onPaint = [&] {
        if (pressed || dialog.m_outputFolderLabel->text().isEmpty())
            return;
        pressed = true;
        QTimer::singleShot(0, &dialog, clickStop);
    };
    // The worker asks its question right after the label: when its prompt
    // is up first, no user could reach Stop beneath it, so the click waits
    // until the prompt has gone, as the user's would.
    clickStop = [&] {
        if (dynamic_cast<CSaveMsg*>(QApplication::activeModalWidget()) != nullptr)
            QTimer::singleShot(1, &dialog, clickStop);
        else
            Click(dialog, res::IDC_SAVE_STOP);
    };
    dialog.beforeStart = [&](WatchedFileSave& d) {
        d.m_outputFolderLabel->installEventFilter(&watch);
    };

    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    platform::SetMessageBoxHandler(previous);

    EXPECT_TRUE(pressed);
    EXPECT_EQ(promptsWhenAsked, std::vector<int>{1});
    EXPECT_FALSE(promptOpenWhenAsked);
    EXPECT_FALSE(fs::exists(Output("first") / "a.txt"));
    EXPECT_EQ(kvtest::ReadFileBytes(Output("second") / "b.txt"), "bravo");
    EXPECT_EQ(driver.completions, 1);
}

// The dialog without a worker behind it, for its keys.
class IdleFileSave : public CFileSave {
protected:
    void StartWorker() override {}
};

TEST_F(FileSaveTest, EnterAndF1DoNothing) {
    IdleFileSave dialog;
    bool stayed = false;
    QString pauseText;
    QTimer::singleShot(0, [&] {
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::keyClick(dialog.GetDlgItem(res::IDC_SAVE_PAUSE), Qt::Key_Enter);
        QTest::keyClick(dialog.GetDlgItem(res::IDC_SAVE_STOP), Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_F1);
        stayed = dialog.isVisible();
        pauseText = dialog.GetDlgItemText(res::IDC_SAVE_PAUSE);
        dialog.EndDialog(42);
    });
    ScriptedMessageBox boxes;
    EXPECT_EQ(dialog.DoModal(), 42);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(pauseText, QStringLiteral("Pause"));
    EXPECT_TRUE(boxes.AskedTexts().empty());
    g_appFolder = QStringLiteral(KVZIP_DATA_DIR).toStdWString();
    dialog.CreateFromTemplate();
    EXPECT_FALSE(dialog.Skin().isNull());
}

TEST_F(FileSaveTest, APassThatEndsDuringAQuestionCompletesAfterTheNo) {
    IdleFileSave dialog;
    ModalDriver driver;
    int completionsDuringQuestion = -1;
    const auto previous = platform::SetMessageBoxHandler(
        [&](void*, const std::wstring&, const std::wstring&, unsigned) {
            dialog.SignalFinished({});
            QTest::qWait(50);
            completionsDuringQuestion = driver.completions;
            return static_cast<int>(platform::IDNO);
        });
    QTimer::singleShot(0, [&] { Click(dialog, res::IDC_SAVE_STOP); });

    EXPECT_EQ(dialog.DoModal(), platform::IDOK);
    platform::SetMessageBoxHandler(previous);

    EXPECT_EQ(completionsDuringQuestion, 0);
    EXPECT_EQ(driver.completions, 1);
    EXPECT_EQ(Log(), kCompletion);
}

} // namespace
