#include "app/about_dlg.h"
#include "app/automation.h"
#include "app/main_window.h"
#include "app/second_start.h"
#include "app/single_instance.h"
#include "app/startup_splash.h"
#include "app/velmor_dlg.h"
#include "app/velmor_dlg_auto_proxy.h"
#include "engine/scan_state.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/version.h"
#include "res/resource_ids.h"
#include "tests/support/scripted_message_box.h"
#include "workflow/repair_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLocalSocket>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;

namespace {

std::string Stars(int count) {
    return std::string(count, '*');
}

// A private installation folder and registry store, scripted file choices
// and a recording preview, for one main dialog.
class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path();
        QFile store(m_dir.filePath(QStringLiteral("registry.ini")));
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        store.write(
            ("[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=" + m_folder.toStdString() + "\n").c_str());
        store.close();
        ::setenv("KVZIP_REGISTRY", store.fileName().toLocal8Bit().constData(), 1);
        g_appFolder = m_folder.toStdWString();
        g_repairMode = 0;
        g_skipPreview = 0;
        g_startupSplashWait = std::chrono::milliseconds(0);
        CSingleInstance::SetServerName(QStringLiteral("kvzip-gui-test-%1").arg(::getpid()));
        // As the file dialog of Qt's own makes them: from decoded names.
        m_previousChooser = CVelmorDlg::SetFileChooser([this](QWidget*) {
            QList<QUrl> urls;
            for (const QString& path : m_choice)
                urls << QUrl::fromLocalFile(path);
            return urls;
        });
        m_previousRunner = CVelmorDlg::SetPreviewRunner(
            [this](CVelmorDlg& owner) { m_previewRuns.push_back(owner.isVisible()); });
        m_previousEnd = platform::SetEndProcessHook([this](int code) { m_ended.push_back(code); });
        m_previousOpen = platform::SetShellOpenHook([this](const std::wstring& target) {
            m_opened.push_back(target);
            return true;
        });
    }

    void TearDown() override {
        CVelmorDlg::SetFileChooser(m_previousChooser);
        CVelmorDlg::SetPreviewRunner(m_previousRunner);
        platform::SetEndProcessHook(m_previousEnd);
        platform::SetShellOpenHook(m_previousOpen);
        CSingleInstance::SetServerName(QString());
        FreeSourceFiles();
        ::unsetenv("KVZIP_REGISTRY");
    }

    QString Archive(const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("PK\x03\x04");
        return path;
    }

    std::string Log() const {
        QFile file(m_dir.filePath(QStringLiteral("Activity Log.txt")));
        file.open(QIODevice::ReadOnly);
        return file.readAll().toStdString();
    }

    void ClearLogFile() { QFile::remove(m_dir.filePath(QStringLiteral("Activity Log.txt"))); }

    static QStringList Rows(const CVelmorDlg& dialog) {
        QStringList rows;
        for (int i = 0; i < dialog.m_sourceList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = dialog.m_sourceList->topLevelItem(i);
            rows << item->text(0) + QLatin1Char(' ') + QFileInfo(item->text(1)).fileName();
        }
        return rows;
    }

    static void Select(CVelmorDlg& dialog, int row) {
        QTreeWidgetItem* item = dialog.m_sourceList->topLevelItem(row);
        dialog.m_sourceList->setCurrentItem(item);
        item->setSelected(true);
    }

    QTemporaryDir m_dir;
    QString m_folder;
    QStringList m_choice;
    std::vector<bool> m_previewRuns; // whether the main window showed meanwhile
    std::vector<int> m_ended;
    std::vector<std::wstring> m_opened;

private:
    CVelmorDlg::FileChooser m_previousChooser;
    CVelmorDlg::PreviewRunner m_previousRunner;
    platform::EndProcessHook m_previousEnd;
    platform::ShellOpenHook m_previousOpen;
};

} // namespace

TEST_F(MainDialogTest, InitialisationSetsUpTheWindowAndWritesTheStartBanner) {
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    EXPECT_TRUE(dialog.m_backgroundLoaded == QFile::exists(m_folder + "/Kelvane-Zip.bmp"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kelvane for Zip"));
    EXPECT_EQ(g_mainDlg, &dialog);
    EXPECT_EQ(g_mainDialogCommands, &dialog);
    EXPECT_TRUE(dialog.m_quickRepairRadio->isChecked());
    EXPECT_FALSE(dialog.m_advanceRepairRadio->isChecked());
    EXPECT_FALSE(dialog.m_skipPreviewCheck->isChecked());
    EXPECT_FALSE(dialog.IsMenuItemEnabled(res::ID_FILE_SAVECURRENTFILE));
    EXPECT_FALSE(dialog.IsMenuItemEnabled(res::ID_FILE_SAVEALL));
    EXPECT_TRUE(dialog.IsMenuItemEnabled(res::ID_FILE_SELECTFILE));
    EXPECT_FALSE(dialog.m_clearAllButton->isEnabled());
    EXPECT_FALSE(dialog.m_clearSelectedButton->isEnabled());
    ASSERT_EQ(dialog.m_sourceList->columnCount(), 2);
    EXPECT_EQ(dialog.m_sourceList->headerItem()->text(0), QStringLiteral(" File No."));
    EXPECT_EQ(dialog.m_sourceList->headerItem()->text(1), QStringLiteral(" File Name"));
    EXPECT_EQ(dialog.m_sourceList->columnWidth(0), 60);
    EXPECT_EQ(dialog.m_sourceList->columnWidth(1), 500);

    const std::string banner =
        "\r\n\r\n\r\n\r\n" + Stars(33) + " Start Log File " + Stars(32) + "\r\n\r\n" + Stars(30) +
        "Kelvane for Zip" + Stars(29) +
        "\r\n\r\nVersion " KVZIP_VERSION "\r\nDate    ([0-9]{1,2})\\\\([0-9]{1,2})"
        "\\\\([0-9]{4})\r\nTime    ([0-9]{1,2}):([0-9]{1,2}):([0-9]{1,2})\r\n\r\n" +
        Stars(25) + " Step 1 :- Source Files Selection " + Stars(23) + "\r\n\r\n";
    const std::string escaped = std::regex_replace(banner, std::regex(R"(\*)"), R"(\*)");
    std::smatch match;
    const std::string log = Log();
    ASSERT_TRUE(std::regex_match(log, match, std::regex(escaped))) << log;
    for (int group = 1; group <= 6; ++group)
        EXPECT_FALSE(match[group].length() > 1 && match[group].str().front() == '0')
            << "leading zero in " << match[group].str();
}

// One archive is one row whatever name reaches it; names that differ in
// case are two archives. What is not added is said, with the reason.
TEST_F(MainDialogTest, AnArchiveIsListedOnceUnderAnyNameAndWhatIsNotAddedIsSaid) {
    ScriptedMessageBox boxes;
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    const QString first = Archive(QStringLiteral("photos.zip"));
    const QString upper = Archive(QStringLiteral("PHOTOS.ZIP"));
    const QString other = Archive(QStringLiteral("mail.zip"));
    const QString link = m_dir.filePath(QStringLiteral("link.zip"));
    QFile::link(first, link);
    const QString gone = m_dir.filePath(QStringLiteral("gone.zip"));
    m_choice = {first, QString(), gone, first, other};
    dialog.SendCommand(res::IDC_BROWSE);
    m_choice = {upper, link, other};
    dialog.SendCommand(res::ID_FILE_SELECTFILE);
    EXPECT_EQ(Rows(dialog), (QStringList{"1 photos.zip", "2 mail.zip", "3 PHOTOS.ZIP"}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialog.m_clearAllButton->isEnabled());
    EXPECT_TRUE(dialog.m_clearSelectedButton->isEnabled());
    EXPECT_EQ(boxes.AskedTexts(),
              (std::vector<std::wstring>{
                  L"Not added:\r\n" + gone.toStdWString() + L": file missing\r\n" +
                      first.toStdWString() + L": already listed",
                  L"Not added:\r\n" + link.toStdWString() + L": already listed\r\n" +
                      other.toStdWString() + L": already listed"}));
}

TEST_F(MainDialogTest, RemovingTheMiddleRowRenumbersAndTheNextGetsThree) {
    ScriptedMessageBox boxes{IDYES};
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    m_choice = {Archive("a.zip"), Archive("b.zip"), Archive("c.zip")};
    dialog.SendCommand(res::IDC_BROWSE);
    Select(dialog, 1);
    dialog.SendCommand(res::IDC_CLEAR_SELECTED);
    EXPECT_EQ(Rows(dialog), (QStringList{"1 a.zip", "2 c.zip"}));
    m_choice = {Archive("d.zip")};
    dialog.SendCommand(res::IDC_BROWSE);
    EXPECT_EQ(Rows(dialog), (QStringList{"1 a.zip", "2 c.zip", "3 d.zip"}));
    EXPECT_EQ(boxes.AskedTexts(),
              std::vector<std::wstring>{L"Do you want to clear the selected file?"});
}

TEST_F(MainDialogTest, ClearButtonsAskAndFollowTheRows) {
    ScriptedMessageBox boxes{IDOK, IDNO, IDYES, IDNO, IDYES};
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.SendCommand(res::IDC_CLEAR_ALL); // empty: asks nothing
    dialog.SendCommand(res::IDC_CLEAR_SELECTED);
    m_choice = {Archive("a.zip"), Archive("b.zip")};
    dialog.SendCommand(res::IDC_BROWSE);
    Select(dialog, 0);
    dialog.SendCommand(res::IDC_CLEAR_SELECTED); // No
    EXPECT_EQ(Rows(dialog).size(), 2);
    Select(dialog, 0);
    dialog.SendCommand(res::IDC_CLEAR_SELECTED); // Yes
    EXPECT_EQ(Rows(dialog), QStringList{"1 b.zip"});
    EXPECT_TRUE(dialog.m_clearAllButton->isEnabled());
    dialog.SendCommand(res::IDC_CLEAR_ALL); // No
    EXPECT_EQ(Rows(dialog).size(), 1);
    Select(dialog, 0);
    dialog.SendCommand(res::IDC_CLEAR_SELECTED); // Yes: the last row
    EXPECT_TRUE(Rows(dialog).isEmpty());
    EXPECT_FALSE(dialog.m_clearAllButton->isEnabled());
    EXPECT_FALSE(dialog.m_clearSelectedButton->isEnabled());
    EXPECT_EQ(boxes.AskedTexts(), (std::vector<std::wstring>{
                                      L"Please select any file to remove",
                                      L"Do you want to clear the selected file?",
                                      L"Do you want to clear the selected file?",
                                      L"Do you want to clear all files ?",
                                      L"Do you want to clear the selected file?",
                                  }));
    EXPECT_EQ(boxes.AskedBoxes()[0].style,
              unsigned(platform::MB_OK | platform::MB_ICONINFORMATION | platform::MB_SYSTEMMODAL));
    EXPECT_EQ(boxes.AskedBoxes()[0].caption, L"Kelvane for Zip");
}

TEST_F(MainDialogTest, RepairWithAnEmptyListLogsTheBlocksAndSaysSo) {
    ScriptedMessageBox boxes;
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    ClearLogFile();
    dialog.SendCommand(res::IDC_REPAIR);
    EXPECT_EQ(boxes.AskedTexts(),
              std::vector<std::wstring>{L"No files selected, Kindly select a file"});
    EXPECT_TRUE(m_previewRuns.empty());
    EXPECT_EQ(Log(), "Source Files :\r\n______________\r\n\r\n\r\n\r\nRepair Mode  :      Quick "
                     "Repair\r\n______________\r\n\r\nSkip Preview Status :    FALSE\r\n"
                     "____________________");
}

TEST_F(MainDialogTest, RepairChecksTheLastRowAndRunsThePreviewHidden) {
    ScriptedMessageBox boxes;
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.show();
    const QString first = Archive("first.zip");
    const QString last = Archive("last.zip");
    m_choice = {first, last};
    dialog.SendCommand(res::IDC_BROWSE);

    QFile::remove(first); // only the last row's file counts
    dialog.SendCommand(res::IDC_REPAIR);
    dialog.SendCommand(res::IDC_REPAIR); // again: the same two files, no more
    EXPECT_EQ(m_previewRuns, (std::vector<bool>{false, false}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(g_sourceFileCount, 2);
    EXPECT_EQ(GetSourcePath(0), first.toStdWString());
    EXPECT_EQ(GetSourcePath(1), last.toStdWString());
    EXPECT_EQ(GetSourcePath(2), L"");
    EXPECT_NE(Log().find("Step 2 :- Analysis Of Files" + Stars(29) +
                         "\r\n\r\nTotal Files Count :    2\r\n"),
              std::string::npos);

    // With the last row's file gone too, the notice names every file that went.
    QFile::remove(last);
    dialog.SendCommand(res::IDC_REPAIR);
    EXPECT_EQ(m_previewRuns.size(), 2u);
    EXPECT_EQ(boxes.AskedTexts(),
              std::vector<std::wstring>{L"These archives are no longer there:\n\n" +
                                        first.toStdWString() + L"\n" + last.toStdWString() +
                                        L"\n\nRemove them from the list, or choose them again."});
}

TEST_F(MainDialogTest, RepairModeAndSkipPreviewFromButtonsAndMenu) {
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    ClearLogFile();
    dialog.SendCommand(res::ID_REPAIRMODE_ADVANCEREPAIR);
    EXPECT_EQ(g_repairMode, 1);
    EXPECT_TRUE(dialog.m_advanceRepairRadio->isChecked());
    EXPECT_FALSE(dialog.m_quickRepairRadio->isChecked());
    EXPECT_EQ(Log(), "\r\n\r\nRepair Mode  :      Advance  Repair\r\n______________\r\n");
    dialog.m_quickRepairRadio->click();
    EXPECT_EQ(g_repairMode, 0);
    EXPECT_TRUE(Log().ends_with("Repair Mode  :      Quick Repair\r\n______________\r\n"));

    dialog.m_skipPreviewCheck->click();
    EXPECT_EQ(g_skipPreview, 1);
    dialog.SendCommand(res::ID_OPTION_SKIPPREVIEW);
    EXPECT_EQ(g_skipPreview, 0);
    EXPECT_FALSE(dialog.m_skipPreviewCheck->isChecked());
    dialog.SendCommand(res::ID_OPTION_SKIPPREVIEW);
    EXPECT_TRUE(dialog.m_skipPreviewCheck->isChecked());

    ScriptedMessageBox boxes;
    m_choice = {Archive("a.zip")};
    dialog.SendCommand(res::IDC_BROWSE);
    dialog.SendCommand(res::ID_REPAIRMODE_ADVANCEREPAIR);
    dialog.SendCommand(res::IDC_REPAIR);
    EXPECT_NE(Log().find("Repair Mode  :      Advance  Repair\r\n______________\r\n\r\n"
                         "Skip Preview Status :    TRUE"),
              std::string::npos);
}

TEST_F(MainDialogTest, LogHelpAndAboutCommands) {
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.SendCommand(res::ID_OPTION_VIEWLOG);
    dialog.SendCommand(res::ID_HELP_CONTENTS);
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    EXPECT_FALSE(dialog.DeliverToFilter(dialog.m_sourceList, &f1));
    const std::wstring help = m_folder.toStdWString() + L"/Kelvane for Zip.html";
    EXPECT_EQ(m_opened, (std::vector<std::wstring>{m_folder.toStdWString() + L"/Activity Log.txt",
                                                   help, help}));

    {
        ScriptedMessageBox boxes{IDYES};
        dialog.SendCommand(res::ID_OPTION_CLEARLOG);
        EXPECT_EQ(Log(), "\r\n");
    }

    // About from the menu and from the system menu, a fresh box each time.
    int shown = 0;
    for (int way = 0; way < 2; ++way) {
        QTimer::singleShot(0, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                ++shown;
                EXPECT_FALSE(about->m_siteLink->m_visited);
                about->m_siteLink->m_visited = true;
                QTest::keyClick(about, Qt::Key_Escape);
            }
        });
        if (way == 0)
            dialog.SendCommand(res::ID_HELP_ABOUT);
        else
            dialog.SystemMenu()->actions().last()->trigger();
    }
    EXPECT_EQ(shown, 2);
}

TEST_F(MainDialogTest, EscAsksAndEndsTheProcessOnYes) {
    ScriptedMessageBox boxes{IDNO, IDYES};
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(dialog.DeliverToFilter(dialog.m_sourceList, &esc));
    EXPECT_TRUE(m_ended.empty());
    EXPECT_TRUE(dialog.DeliverToFilter(dialog.m_sourceList, &esc));
    EXPECT_EQ(m_ended, std::vector<int>{0});
    ASSERT_EQ(boxes.AskedBoxes().size(), 2u);
    EXPECT_EQ(boxes.AskedBoxes()[0].text, L"Do you want to exit ? ");
    EXPECT_EQ(boxes.AskedBoxes()[0].owner, nullptr);
}

TEST_F(MainDialogTest, CloseBoxDisablesRepairWhileAskingAndEndsOnYes) {
    CVelmorDlg dialog;
    std::vector<bool> repairEnabled;
    auto previous = platform::SetMessageBoxHandler(
        [&](void*, const std::wstring& text, const std::wstring&, unsigned) {
            EXPECT_EQ(text, L"Do you want to exit?");
            repairEnabled.push_back(dialog.m_repairButton->isEnabled());
            return repairEnabled.size() == 1 ? IDNO : IDYES;
        });
    QTimer::singleShot(0, [&] {
        dialog.close(); // No: stays
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.m_repairButton->isEnabled());
        dialog.close(); // Yes
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    platform::SetMessageBoxHandler(previous);
    EXPECT_EQ(repairEnabled, (std::vector<bool>{false, false}));
    EXPECT_TRUE(m_ended.empty());
}

TEST_F(MainDialogTest, FileExitCancelsOnYes) {
    ScriptedMessageBox boxes{IDNO, IDYES};
    CVelmorDlg dialog;
    QTimer::singleShot(0, [&] {
        dialog.SendCommand(res::ID_FILE_EXIT);
        EXPECT_TRUE(dialog.isVisible());
        dialog.SendCommand(res::ID_FILE_EXIT);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(MainDialogTest, ProxyLifetimeEitherWayRoundAndHidingWhileItLives) {
    ScriptedMessageBox boxes{IDYES, IDYES};
    const int locks = automation::AppLockCount();
    auto dialog = std::make_unique<CVelmorDlg>();
    dialog->CreateFromTemplate();
    SetMainWindow(dialog.get());
    auto* proxy = static_cast<CVelmorDlgAutoProxy*>(CVelmorDlgAutoProxy::CreateForClient());
    EXPECT_EQ(proxy->m_pDialog, dialog.get());
    EXPECT_EQ(dialog->m_pAutoProxy, proxy);
    EXPECT_EQ(automation::AppLockCount(), locks + 1);

    // While a client holds it, Exit, OK and Cancel only hide the window; its
    // modal loop, which is the program, runs on for the client.
    bool returned = false;
    std::vector<bool> hidden;
    std::vector<bool> stillRunning;
    const auto later = [&](auto step) { QTimer::singleShot(20, dialog.get(), step); };
    QTimer::singleShot(0, [&] {
        dialog->SendCommand(res::ID_FILE_EXIT);
        hidden.push_back(!dialog->isVisible());
        later([&] {
            stillRunning.push_back(!returned);
            dialog->ShowWindow(true);
            dialog->SendCommand(platform::IDOK);
            hidden.push_back(!dialog->isVisible());
            later([&] {
                stillRunning.push_back(!returned);
                dialog->ShowWindow(true);
                dialog->SendCommand(platform::IDCANCEL);
                hidden.push_back(!dialog->isVisible());
                later([&] {
                    stillRunning.push_back(!returned);
                    proxy->AddRef();
                    proxy->Release();
                    EXPECT_EQ(proxy->Release(), 0u); // the client lets go
                    EXPECT_EQ(dialog->m_pAutoProxy, nullptr);
                    dialog->ShowWindow(true);
                    dialog->SendCommand(res::ID_FILE_EXIT); // now it ends
                });
            });
        });
    });
    EXPECT_EQ(dialog->DoModal(), IDCANCEL);
    returned = true;
    EXPECT_EQ(hidden, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(stillRunning, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(automation::AppLockCount(), locks);

    // The dialog goes first: the proxy outlives it without a dangling pointer.
    proxy = static_cast<CVelmorDlgAutoProxy*>(CVelmorDlgAutoProxy::CreateForClient());
    EXPECT_EQ(dialog->m_pAutoProxy, proxy);
    dialog.reset();
    EXPECT_EQ(GetMainWindow(), nullptr);
    EXPECT_EQ(proxy->m_pDialog, nullptr);
    proxy->Release();
    EXPECT_EQ(automation::AppLockCount(), locks);

    // No main dialog: the object stands alone.
    proxy = static_cast<CVelmorDlgAutoProxy*>(CVelmorDlgAutoProxy::CreateForClient());
    EXPECT_EQ(proxy->m_pDialog, nullptr);
    proxy->Release();
}

TEST_F(MainDialogTest, DroppedArchivesArriveLikeBrowsedOnes) {
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.show();
    const QString archive = Archive("dropped.zip");
    const QString notes = Archive("notes.txt");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(archive), QUrl::fromLocalFile(notes),
                  QUrl::fromLocalFile(archive), QUrl::fromLocalFile(m_folder)});
    const QPoint at = dialog.m_sourceList->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &drop);
    EXPECT_EQ(Rows(dialog), QStringList{"1 dropped.zip"});

    // Names that are not UTF-8 keep their bytes: dropped, a URL's own;
    // browsed, found again from the dialog's decoded name (U+FFFD for the
    // byte), the folder's part too.
    const std::string folder = m_folder.toStdString();
    const std::string dropped = folder + "/bad\xffname.zip";
    const std::string browsed = folder + "/dir\xfe/bad\xffname.zip";
    ASSERT_EQ(::mkdir((folder + "/dir\xfe").c_str(), 0700), 0);
    for (const std::string& bytes : {dropped, browsed}) {
        std::FILE* file = std::fopen(bytes.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
    }
    QMimeData odd;
    odd.setUrls(
        {QUrl::fromEncoded("file://" + QByteArray::fromStdString(dropped).toPercentEncoding("/"))});
    QDragEnterEvent oddEnter(at, Qt::CopyAction, &odd, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &oddEnter);
    EXPECT_TRUE(oddEnter.isAccepted());
    QDropEvent oddDrop(QPointF(at), Qt::CopyAction, &odd, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &oddDrop);
    m_choice = {QFile::decodeName(QByteArray::fromStdString(browsed))};
    dialog.OnBrowse();
    EXPECT_EQ(Rows(dialog), (QStringList{"1 dropped.zip", QStringLiteral("2 bad\uFFFDname.zip"),
                                         QStringLiteral("3 bad\uFFFDname.zip")}));
    dialog.OnRepair();
    std::vector<std::string> repaired;
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next)
        repaired.push_back(platform::EncodeLocal(node->path));
    EXPECT_EQ(repaired, (std::vector<std::string>{archive.toStdString(), dropped, browsed}));

    QMimeData text;
    text.setText(QStringLiteral("not files"));
    QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

namespace {

// A running instance as another process would hold the name: in a thread
// with its own event loop, answering later starts with `answer`.
class OtherInstance {
public:
    explicit OtherInstance(std::optional<CSingleInstance::Answer> answer) {
        m_thread.start();
        QMetaObject::invokeMethod(
            &m_context,
            [this, answer] {
                m_instance = std::make_unique<CSingleInstance>();
                m_claimed = m_instance->Claim();
                if (answer)
                    m_instance->SetHandler([this, answer](const QStringList& archives) {
                        const std::lock_guard<std::mutex> lock(m_lock);
                        m_received.push_back(archives);
                        return *answer;
                    });
            },
            Qt::BlockingQueuedConnection);
    }
    ~OtherInstance() {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_instance.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    bool Claimed() const { return m_claimed; }
    std::vector<QStringList> Received() {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_received;
    }

private:
    struct Context : QObject {
        explicit Context(QThread& thread) { moveToThread(&thread); }
    };
    QThread m_thread;
    Context m_context{m_thread};
    std::unique_ptr<CSingleInstance> m_instance;
    bool m_claimed = false;
    std::mutex m_lock;
    std::vector<QStringList> m_received;
};

// Forwards from a thread, as a later start would, while this thread serves.
std::optional<CSingleInstance::Answer> ForwardFromElsewhere(const QStringList& archives) {
    std::optional<CSingleInstance::Answer> answer;
    std::atomic<bool> done{false};
    std::thread start([&] {
        answer = CSingleInstance::Forward(archives, std::chrono::milliseconds(2000));
        done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 20000));
    start.join();
    return answer;
}

} // namespace

// A start that finds an instance running hands its archives over and ends;
// the user hears only of what did not happen.
TEST_F(MainDialogTest, ALaterStartHandsItsArchivesToTheRunningOneAndEnds) {
    g_secondStartPatience = std::chrono::milliseconds(0);
    const QString archive = Archive(QStringLiteral("opened.zip"));
    struct Case {
        std::optional<CSingleInstance::Answer> answer; // none: the instance has no handler
        std::vector<std::wstring> told;
    };
    const std::wstring busy = L"Kelvane for Zip is busy with a repair, so these archives were "
                              L"not added:\n\n" +
                              archive.toStdWString() +
                              L"\n\nOpen them again when it is back at step 1.";
    for (const Case& c :
         {Case{CSingleInstance::Answer::Added, {}}, Case{CSingleInstance::Answer::Busy, {busy}},
          Case{std::nullopt, {L"Kelvane for Zip is already running"}}}) {
        OtherInstance other(c.answer);
        ASSERT_TRUE(other.Claimed());
        m_ended.clear();
        ScriptedMessageBox boxes;
        CVelmorDlg dialog;
        dialog.m_startupFiles = {archive};
        dialog.CreateFromTemplate();
        EXPECT_EQ(boxes.AskedTexts(), c.told);
        EXPECT_EQ(m_ended, std::vector<int>{0});
        if (c.answer) {
            EXPECT_EQ(other.Received(), std::vector<QStringList>{{archive}});
        }
    }
    g_secondStartPatience = std::chrono::milliseconds(10000);
}

// The running instance lists what a later start hands it while step 1
// shows, refuses it while a repair runs, and is only raised by a start
// without archives.
TEST_F(MainDialogTest, ArchivesOfALaterStartArriveAtStepOne) {
    ScriptedMessageBox boxes;
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    dialog.show();
    const QString archive = Archive(QStringLiteral("opened.zip"));
    EXPECT_EQ(ForwardFromElsewhere({archive}), CSingleInstance::Answer::Added);
    EXPECT_EQ(Rows(dialog), QStringList{"1 opened.zip"});
    EXPECT_EQ(ForwardFromElsewhere({}), CSingleInstance::Answer::Added);
    EXPECT_EQ(Rows(dialog), QStringList{"1 opened.zip"});

    std::optional<CSingleInstance::Answer> whileRepairing;
    CVelmorDlg::SetPreviewRunner([&](CVelmorDlg&) {
        whileRepairing = ForwardFromElsewhere({Archive(QStringLiteral("later.zip"))});
    });
    dialog.SendCommand(res::IDC_REPAIR);
    EXPECT_EQ(whileRepairing, CSingleInstance::Answer::Busy);
    EXPECT_EQ(Rows(dialog), QStringList{"1 opened.zip"});
    EXPECT_TRUE(boxes.AskedTexts().empty());
}

// The name is taken by one start only, also when two start at the same
// moment; the loser never removes the winner's socket.
TEST_F(MainDialogTest, OneClaimWinsEvenAtTheSameMomentAndTheWinnerStaysReachable) {
    const auto reachable = [] {
        QLocalSocket probe;
        probe.connectToServer(CSingleInstance::ServerName());
        return probe.waitForConnected(1000);
    };
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> ready{0};
        std::atomic<int> claimed{0};
        std::atomic<bool> checked{false};
        const auto start = [&] {
            CSingleInstance instance;
            ++ready;
            while (ready.load() < 2) {
            }
            if (instance.Claim())
                ++claimed;
            ++ready;
            while (!checked.load())
                QThread::msleep(1);
        };
        std::unique_ptr<QThread> first(QThread::create(start));
        std::unique_ptr<QThread> second(QThread::create(start));
        first->start();
        second->start();
        while (ready.load() < 4)
            QThread::msleep(1);
        const bool found = reachable();
        checked = true;
        first->wait();
        second->wait();
        EXPECT_EQ(claimed.load(), 1) << "round " << round;
        EXPECT_TRUE(found) << "round " << round;
    }

    // A socket left behind by a crashed instance does not keep the name.
    const QString path = QDir::temp().filePath(CSingleInstance::ServerName());
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(dead);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_FALSE(reachable());
    CSingleInstance survivor;
    ASSERT_TRUE(survivor.Claim());
    EXPECT_TRUE(reachable());
}

// Starts on two displays of one user are two programs: each display has an
// instance of its own, while screens of one display share it.
TEST(SingleInstance, IsOnePerUserAndDisplay) {
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    const auto nameOn = [](const char* value) {
        qputenv("DISPLAY", value);
        return CSingleInstance::ServerName();
    };
    CSingleInstance::SetServerName(QString());
    EXPECT_NE(nameOn(":93"), nameOn(":95"));
    EXPECT_EQ(nameOn(":93"), nameOn(":93.0"));
    EXPECT_EQ(nameOn("host:93.1"), nameOn("host:93"));
    if (display.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", display);
    if (!wayland.isEmpty())
        qputenv("WAYLAND_DISPLAY", wayland);
}
