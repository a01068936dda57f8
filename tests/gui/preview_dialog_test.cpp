#include "platform/process.h"
#include "platform/qt/folder_browser_qt.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "res/resource_ids.h"
#include "tests/gui/analysis_fixture.h"
#include "tests/support/scripted_message_box.h"
#include "workflow/analysis_format.h"
#include "workflow/gui/entry_list_view.h"
#include "workflow/gui/main_dialog_commands.h"
#include "workflow/gui/preview_dialog.h"
#include "workflow/gui/saving_dialog_runner.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"
#include "workflow/save_host.h"
#include "workflow/save_worker.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

using kvtest::AnalysisSandbox;

namespace {

const std::wstring kNoPath = L"Saving path doesn't exist, select another path for saving ";

// The main dialog's side of the shared menu, recorded.
struct RecordingMain : IMainDialogCommands {
    std::vector<std::string> calls;
    void OnViewLog() override { calls.push_back("ViewLog"); }
    void OnHelpContents() override { calls.push_back("HelpContents"); }
    void OnClearLog() override { calls.push_back("ClearLog"); }
    void OnAbout() override { calls.push_back("About"); }
};

// The saving dialog's host without its windows.
struct QuietSaveHost : SaveHost {
    int number = 1;
    int CurrentFileNumber() override { return number; }
    void SourceStarted(const SourceStart&) override {}
    void Progress(const PassProgress&) override {}
    void AskOverwrite() override {}
    void EntrySaved(const ExtractReport&) override {}
    void SourceDone(const SourceTotals&) override {}
    void PassDone(const PassTotals&) override {}
};

// Installs the folder browser and saving dialog doubles for a test.
struct PreviewTest : ::testing::Test {
    AnalysisSandbox sandbox;
    RecordingMain main;
    std::optional<std::wstring> folder;
    // Answers of the folder browser before `folder`, in order.
    std::deque<std::optional<std::wstring>> firstFolders;
    std::vector<QString> browserTitles;
    int savingRuns = 0;
    std::function<void()> whileSaving;
    platform::FolderBrowserHook previousBrowser;
    SavingDialogRunner previousRunner;

    void SetUp() override {
        g_mainDialogCommands = &main;
        g_saveCurrentOnly = 0;
        g_saveCurrentFolder.clear();
        g_saveAllFolder.clear();
        previousBrowser = platform::SetFolderBrowserHook([this](const QString& title) {
            browserTitles.push_back(title);
            if (firstFolders.empty())
                return folder;
            std::optional<std::wstring> first = firstFolders.front();
            firstFolders.pop_front();
            return first;
        });
        previousRunner = SetSavingDialogRunner([this] {
            ++savingRuns;
            if (whileSaving)
                whileSaving();
            return static_cast<int>(platform::IDOK);
        });
    }
    void TearDown() override {
        platform::SetFolderBrowserHook(previousBrowser);
        SetSavingDialogRunner(previousRunner);
        g_mainDialogCommands = nullptr;
    }

    std::vector<std::wstring> Archives(int count) {
        std::vector<std::wstring> paths;
        for (int i = 1; i <= count; ++i)
            paths.push_back(
                sandbox.WriteArchive("source" + std::to_string(i) + ".zip",
                                     {"file" + std::to_string(i) + ".txt", "notes.txt"}));
        return paths;
    }
};

bool Enabled(CPreview& preview, int id) {
    return preview.GetDlgItem(id)->isEnabled();
}

// Shows the preview and lets its first paint do what it posts.
void ShowAndSettle(CPreview& preview) {
    preview.CreateFromTemplate();
    preview.show();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return g_runAnalysisOnPaint == 0 && g_reapAnalysisThread == 0 &&
               preview.GetDlgItem(res::IDC_BACK)->isEnabled();
    }));
    QApplication::processEvents();
}

std::vector<bool> NavigationState(CPreview& preview) {
    return {Enabled(preview, res::IDC_BACK_FILE), Enabled(preview, res::IDC_NEXT_FILE)};
}

std::vector<QString> RowNames(CPreview& preview) {
    std::vector<QString> names;
    for (int i = 0; i < preview.m_entryList->RowCount(); ++i)
        names.push_back(preview.m_entryList->Model()->Text(i, 0));
    return names;
}

bool SendKey(CPreview& preview, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    return preview.DeliverToFilter(preview.m_entryList, &press);
}

} // namespace

TEST_F(PreviewTest, ListHasTheSevenColumnsInOrderWideEnoughForTheirTexts) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    preview.CreateFromTemplate();
    const char* const headings[] = {"File Name",
                                    "UnCompressed File Size",
                                    "Compressed File Size",
                                    "Compression Ratio",
                                    "Modified Time",
                                    "CRC 32",
                                    "Method"};
    // The names give up room first, so that the CRC stays in view.
    const int widths[] = {110, 135, 125, 115, 100, 100, 80};
    CEntryListView* list = preview.m_entryList;
    ASSERT_EQ(list->model()->columnCount(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(list->model()->headerData(i, Qt::Horizontal).toString(),
                  QString::fromUtf8(headings[i]));
        EXPECT_GE(list->columnWidth(i), widths[i]) << i;
    }
    // The longest time, size, CRC and method texts are shown whole.
    EntryRow row;
    row.texts = {L"a/b.txt",    L"1023   Bytes", L"1023   Bytes", L"100%", L"28 Sep 2088, 23:58:58",
                 L"4294967295", L"Zstandard"};
    preview.AppendEntryRows({row});
    for (int i = 1; i < 7; ++i) {
        const QModelIndex cell = list->model()->index(0, i);
        const QString shown = list->model()->data(cell).toString();
        EXPECT_LE(list->fontMetrics().horizontalAdvance(shown) + 8, list->columnWidth(i)) << i;
    }
    EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
    // An encrypted entry is marked, and its tip says what follows.
    row.encrypted = true;
    preview.AppendEntryRows({row});
    const QModelIndex plain = list->model()->index(0, columnFileName);
    const QModelIndex locked = list->model()->index(1, columnFileName);
    EXPECT_TRUE(list->model()->data(plain, Qt::DecorationRole).isNull());
    EXPECT_FALSE(list->model()->data(locked, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(list->model()->data(locked, Qt::ToolTipRole).toString(),
              QStringLiteral("a/b.txt\nEncrypted: its password is asked before saving"));
    // A click on a heading sorts by the values shown, a second one turns
    // the order.
    preview.DeleteAllEntryRows();
    std::vector<EntryRow> rows(3);
    const std::uint64_t sizes[] = {5000, 20, 1100000};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].uncompressedSize = sizes[i];
        rows[i].texts = {L"f" + std::to_wstring(i), FormatSizeText(sizes[i])};
    }
    preview.AppendEntryRows(std::move(rows));
    const auto names = [list] {
        QStringList shown;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            shown << list->model()->data(list->model()->index(r, columnFileName)).toString();
        return shown;
    };
    // The heading turns its own mark on a click; the list follows the mark.
    QHeaderView* header = list->horizontalHeader();
    EXPECT_EQ(
        list->model()->headerData(columnUncompressedSize, Qt::Horizontal, Qt::InitialSortOrderRole),
        QVariant::fromValue(Qt::AscendingOrder));
    header->setSortIndicator(columnUncompressedSize, Qt::AscendingOrder);
    EXPECT_EQ(names(), (QStringList{"f1", "f0", "f2"}));
    header->setSortIndicator(columnUncompressedSize, Qt::DescendingOrder);
    EXPECT_EQ(names(), (QStringList{"f2", "f0", "f1"}));
    preview.DeleteAllEntryRows();
    EXPECT_EQ(preview.m_entryList->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(preview.m_entryList->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(g_previewDlg, &preview);
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Kelvane for Zip"));
    for (int id : {res::ID_FILE_SELECTFILE, res::ID_OPTION_SKIPPREVIEW,
                   res::ID_REPAIRMODE_QUICKREPAIR, res::ID_REPAIRMODE_ADVANCEREPAIR})
        EXPECT_FALSE(preview.IsMenuItemEnabled(id)) << id;
    EXPECT_TRUE(preview.IsMenuItemEnabled(res::ID_FILE_SAVECURRENTFILE));
    QWidget* explorer = preview.GetDlgItem(res::IDC_EXPLORER);
    ASSERT_NE(explorer, nullptr);
    EXPECT_FALSE(explorer->isEnabled());
    EXPECT_TRUE(explorer->isHidden());
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_PREVIEW_BLANK), QString());
    // Nothing runs before the first paint.
    EXPECT_EQ(g_runAnalysisOnPaint, 1);
    EXPECT_EQ(preview.m_entryList->RowCount(), 0);
}

TEST_F(PreviewTest, ThreeSourcesStepForwardAndBack) {
    const std::vector<std::wstring> paths = Archives(3);
    sandbox.SetSources(paths);
    CPreview preview;
    preview.CreateFromTemplate();
    // Before the first paint: file 1, only Next File.
    EXPECT_EQ(preview.m_currentFileNumber, 1);
    EXPECT_EQ(NavigationState(preview), (std::vector<bool>{false, true}));
    EXPECT_FALSE(Enabled(preview, res::IDC_SAVE_ALL));
    EXPECT_FALSE(Enabled(preview, res::IDC_BACK));

    ShowAndSettle(preview);
    EXPECT_EQ(RowNames(preview), (std::vector<QString>{"file1.txt", "notes.txt"}));
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_ENTRY_COUNT), QStringLiteral("2"));
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_SOURCE_PATH), QString::fromStdWString(paths[0]));
    for (int id : {res::IDC_SAVE_ALL, res::IDC_SAVE_CURRENT, res::IDC_BACK})
        EXPECT_TRUE(Enabled(preview, id)) << id;

    preview.OnNextFile();
    EXPECT_EQ(NavigationState(preview), (std::vector<bool>{true, true}));
    EXPECT_EQ(RowNames(preview), (std::vector<QString>{"file2.txt", "notes.txt"}));
    preview.OnNextFile();
    EXPECT_EQ(preview.m_currentFileNumber, 3);
    EXPECT_EQ(NavigationState(preview), (std::vector<bool>{true, false}));
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_FILE_NUMBER), QStringLiteral("3"));
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_FILE_COUNT), QStringLiteral("3"));
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_SOURCE_PATH), QString::fromStdWString(paths[2]));
    EXPECT_EQ(RowNames(preview), (std::vector<QString>{"file3.txt", "notes.txt"}));
    preview.OnBackFile();
    preview.OnBackFile();
    EXPECT_EQ(preview.m_currentFileNumber, 1);
    EXPECT_EQ(NavigationState(preview), (std::vector<bool>{false, true}));
    EXPECT_EQ(RowNames(preview), (std::vector<QString>{"file1.txt", "notes.txt"}));
    // Every worker was reaped.
    EXPECT_TRUE(QTest::qWaitFor([] { return g_reapAnalysisThread == 0; }));
    EXPECT_FALSE(g_analysisThread.IsRunning());
}

TEST_F(PreviewTest, AFileWithoutZipDataCountsZeroAndSaysSo) {
    std::vector<std::wstring> paths = Archives(2);
    kvtest::WriteFileBytes(platform::EncodeLocal(paths[0]), kvtest::NoiseBytes(5000, 3));
    sandbox.SetSources(paths);
    CPreview preview;
    ShowAndSettle(preview);
    const auto note = [&]() -> QString {
        const auto* label = preview.m_entryList->viewport()->findChild<QLabel*>();
        return label != nullptr && label->isVisible() ? label->text() : QString();
    };
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_ENTRY_COUNT), QStringLiteral("0"));
    EXPECT_EQ(note(), QStringLiteral("No ZIP data found in this file"));
    EXPECT_TRUE(RowNames(preview).empty());
    // The next file lists its entries and the note is gone.
    preview.OnNextFile();
    EXPECT_EQ(preview.GetDlgItemText(res::IDC_ENTRY_COUNT), QStringLiteral("2"));
    EXPECT_EQ(note(), QString());
}

TEST_F(PreviewTest, OneSourceKeepsNavigationOffAndSaveCurrentHidesThePreview) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    EXPECT_EQ(NavigationState(preview), (std::vector<bool>{false, false}));
    folder = platform::DecodeLocal(sandbox.Dir().Path().string());
    bool hiddenWhileSaving = false;
    whileSaving = [&] { hiddenWhileSaving = !preview.isVisible(); };
    preview.SendCommand(res::IDC_SAVE_CURRENT);
    EXPECT_EQ(browserTitles, std::vector<QString>{QStringLiteral("Select the Destination Path")});
    EXPECT_EQ(savingRuns, 1);
    EXPECT_TRUE(hiddenWhileSaving);
    EXPECT_EQ(g_saveCurrentOnly, 1);
    EXPECT_EQ(g_saveCurrentFolder, *folder);
    EXPECT_EQ(preview.m_currentFileNumber, 1);
}

TEST_F(PreviewTest, SaveCurrentWithSeveralSourcesKeepsThePreviewShown) {
    sandbox.SetSources(Archives(2));
    CPreview preview;
    ShowAndSettle(preview);
    folder = platform::DecodeLocal(sandbox.Dir().Path().string());
    bool shownWhileSaving = false;
    whileSaving = [&] { shownWhileSaving = preview.isVisible(); };
    preview.SendCommand(res::ID_FILE_SAVECURRENTFILE);
    EXPECT_EQ(savingRuns, 1);
    EXPECT_TRUE(shownWhileSaving);
    EXPECT_TRUE(preview.isVisible());
}

// Nothing to preview: the folder choice comes at once and Save All runs;
// cancelled, the step stays with only Back and Save All.
TEST_F(PreviewTest, SkipPreviewGoesStraightToTheFolderChoiceAndSaving) {
    g_skipPreview = 1;
    sandbox.SetSources(Archives(3));
    for (const bool cancel : {false, true}) {
        ScriptedMessageBox boxes;
        browserTitles.clear();
        savingRuns = 0;
        if (cancel)
            folder.reset();
        else
            folder = platform::DecodeLocal(sandbox.Dir().Path().string());
        CPreview preview;
        preview.CreateFromTemplate();
        preview.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !browserTitles.empty(); }));
        QApplication::processEvents();
        EXPECT_EQ(savingRuns, cancel ? 0 : 1);
        EXPECT_TRUE(boxes.AskedTexts().empty());
        EXPECT_EQ(preview.GetDlgItemText(res::IDC_FILE_NUMBER), QStringLiteral("3"));
        EXPECT_EQ(preview.GetDlgItemText(res::IDC_FILE_COUNT), QStringLiteral("3"));
        EXPECT_EQ(preview.m_currentFileNumber, 0);
        EXPECT_EQ(preview.m_entryList->RowCount(), 0);
        EXPECT_TRUE(Enabled(preview, res::IDC_BACK));
        EXPECT_TRUE(Enabled(preview, res::IDC_SAVE_ALL));
        for (int id : {res::IDC_SAVE_CURRENT, res::IDC_BACK_FILE, res::IDC_NEXT_FILE,
                       res::IDC_SOURCE_PATH_LABEL, res::IDC_ENTRY_COUNT_LABEL})
            EXPECT_FALSE(Enabled(preview, id)) << id;
        EXPECT_FALSE(preview.IsMenuItemEnabled(res::ID_FILE_SAVECURRENTFILE));
        EXPECT_EQ(sandbox.LogText().find("File Number"), std::string::npos);
    }
    g_skipPreview = 0;
}

TEST_F(PreviewTest, BackAsksFreesTheSourcesAndLogs) {
    sandbox.SetSources(Archives(2));
    CPreview preview;
    ShowAndSettle(preview);
    ScriptedMessageBox boxes({platform::IDNO, platform::IDYES});
    preview.SendCommand(res::IDC_BACK);
    EXPECT_NE(g_sourceFiles, nullptr);
    EXPECT_TRUE(preview.isVisible());
    preview.SendCommand(res::IDC_BACK);
    EXPECT_EQ(boxes.AskedTexts(),
              (std::vector<std::wstring>(2, L"Do you want to go to previous step ?")));
    EXPECT_EQ(g_sourceFiles, nullptr);
    EXPECT_EQ(preview.result(), platform::IDCANCEL);
    EXPECT_FALSE(preview.isVisible());
    const std::string log = sandbox.LogText();
    EXPECT_TRUE(log.ends_with("\r\n\r\nReturn Back to Previoue Step \r\n")) << log;

    // A new "Repair" builds the list anew and the next preview shows it.
    const std::wstring other = sandbox.WriteArchive("other.zip", {"other.txt"});
    RecordRepairSelection({other});
    CPreview again;
    ShowAndSettle(again);
    EXPECT_EQ(again.GetDlgItemText(res::IDC_SOURCE_PATH), QString::fromStdWString(other));
    EXPECT_EQ(RowNames(again), std::vector<QString>{"other.txt"});
}

TEST_F(PreviewTest, UnwritableDestinationIsNamedAndTheChoiceComesAgain) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    ScriptedMessageBox boxes{platform::IDOK};
    // Not even root may create files here.
    firstFolders = {L"/proc"};
    folder.reset();
    preview.SendCommand(res::IDC_SAVE_ALL);
    EXPECT_EQ(boxes.AskedTexts(), std::vector<std::wstring>{L"Cannot write to /proc"});
    EXPECT_EQ(boxes.AskedBoxes()[0].style, platform::MB_OK | platform::MB_ICONINFORMATION);
    EXPECT_EQ(browserTitles.size(), 2u);
    EXPECT_EQ(savingRuns, 0);
    EXPECT_TRUE(preview.isVisible());

    // A writable folder chosen the second time is taken.
    const std::filesystem::path writable = sandbox.Dir() / "out";
    std::filesystem::create_directory(writable);
    firstFolders = {L"/proc"};
    folder = platform::DecodeLocal(writable.string());
    preview.SendCommand(res::IDC_SAVE_CURRENT);
    EXPECT_EQ(savingRuns, 1);
    EXPECT_EQ(g_saveCurrentFolder, *folder);
}

TEST_F(PreviewTest, CancelledBrowserDoesNothing) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    ScriptedMessageBox boxes;
    folder.reset();
    preview.SendCommand(res::ID_FILE_SAVEALL);
    EXPECT_EQ(browserTitles.size(), 1u);
    EXPECT_EQ(savingRuns, 0);
    EXPECT_TRUE(boxes.AskedTexts().empty());
}

class MissingDestination : public PreviewTest,
                           public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(MissingDestination, IsNamedAndNothingIsSaved) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    ScriptedMessageBox boxes({platform::IDOK});
    folder = std::wstring(GetParam());
    preview.SendCommand(res::IDC_SAVE_ALL);
    EXPECT_EQ(boxes.AskedTexts(), std::vector<std::wstring>{kNoPath});
    EXPECT_EQ(boxes.AskedBoxes()[0].style, platform::MB_OK | platform::MB_ICONINFORMATION);
    EXPECT_EQ(savingRuns, 0);
    EXPECT_TRUE(preview.isVisible());
}

// A folder that is gone, and a choice with no file-system path.
INSTANTIATE_TEST_SUITE_P(Preview, MissingDestination,
                         ::testing::Values(L"/nonexistent/kelvane-destination", L""));

TEST_F(PreviewTest, ExitQuestionsEndTheProcessOnYesOnly) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    ScriptedMessageBox boxes({platform::IDNO, platform::IDYES, platform::IDNO, platform::IDYES,
                              platform::IDNO, platform::IDYES});
    std::vector<int> codes;
    auto previous = platform::SetEndProcessHook([&](int code) { codes.push_back(code); });
    preview.SendCommand(res::ID_FILE_EXIT);
    preview.SendCommand(res::ID_FILE_EXIT);
    preview.close();
    preview.close();
    EXPECT_TRUE(SendKey(preview, Qt::Key_Escape));
    EXPECT_TRUE(SendKey(preview, Qt::Key_Escape));
    platform::SetEndProcessHook(previous);
    const std::wstring exit12 = L"Do you want to exit?            ";
    const std::wstring close8 = L"Do you want to exit?        ";
    const std::wstring esc8 = L"Do you want to exit ?        ";
    EXPECT_EQ(boxes.AskedTexts(),
              (std::vector<std::wstring>{exit12, exit12, close8, close8, esc8, esc8}));
    for (const auto& box : boxes.AskedBoxes())
        EXPECT_EQ(box.style,
                  platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL);
    EXPECT_EQ(codes, (std::vector<int>{0, 0, 0}));
    EXPECT_TRUE(preview.isVisible());
}

TEST_F(PreviewTest, SharedMenuCommandsGoToTheMainDialog) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    preview.MenuAction(res::ID_OPTION_VIEWLOG)->trigger();
    preview.MenuAction(res::ID_HELP_CONTENTS)->trigger();
    preview.MenuAction(res::ID_OPTION_CLEARLOG)->trigger();
    preview.MenuAction(res::ID_HELP_ABOUT)->trigger();
    preview.SystemMenu()->actions().back()->trigger();
    // F1 asks for help and goes on to the usual processing.
    EXPECT_FALSE(SendKey(preview, Qt::Key_F1));
    EXPECT_EQ(main.calls, (std::vector<std::string>{"ViewLog", "HelpContents", "ClearLog", "About",
                                                    "About", "HelpContents"}));
}

TEST_F(PreviewTest, KeysAndClicksAreFiltered) {
    sandbox.SetSources(Archives(1));
    CPreview preview;
    ShowAndSettle(preview);
    CEntryListView* list = preview.m_entryList;
    const QPoint inside = list->viewport()->rect().center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick}) {
        QMouseEvent right(type, inside, list->viewport()->mapToGlobal(inside), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        EXPECT_TRUE(preview.DeliverToFilter(list->viewport(), &right));
        QMouseEvent left(type, inside, list->viewport()->mapToGlobal(inside), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        EXPECT_FALSE(preview.DeliverToFilter(list->viewport(), &left));
    }
    // Ctrl+A reaches the list, which selects every row.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), 2);
    // Enter does not end the preview.
    QTest::keyClick(&preview, Qt::Key_Return);
    EXPECT_TRUE(preview.isVisible());
}

TEST_F(PreviewTest, FullRunSavesTheFilesOnDisk) {
    const std::vector<std::wstring> paths = Archives(2);
    sandbox.SetSources(paths);
    const std::filesystem::path destination = sandbox.Dir() / "out";
    std::filesystem::create_directory(destination);
    kvtest::WriteFileBytes(destination / "1.txt", "kept");
    CPreview preview;
    ShowAndSettle(preview);
    // The saving pass itself, as the saving dialog runs it.
    whileSaving = [&] {
        QuietSaveHost host;
        host.number = preview.m_currentFileNumber;
        platform::WorkerThread worker;
        worker.Start([&host](platform::WorkerGate& gate) {
            return static_cast<int>(SaveWorker(host, gate));
        });
        EXPECT_EQ(worker.Join(), platform::WorkerEnding::Completed);
    };
    folder = platform::DecodeLocal(destination.string());
    preview.SendCommand(res::IDC_SAVE_ALL);
    EXPECT_EQ(savingRuns, 1);
    EXPECT_EQ(g_saveAllFolder, *folder);
    for (int i = 1; i <= 2; ++i) {
        const auto root = destination / "Repair" / ("source" + std::to_string(i));
        const std::string name = "file" + std::to_string(i) + ".txt";
        EXPECT_EQ(kvtest::ReadFileBytes(root / name), "content of " + name + std::string(300, '.'));
        EXPECT_TRUE(std::filesystem::exists(root / "notes.txt"));
    }
    // The write test left the user's 1.txt alone and nothing of its own.
    EXPECT_EQ(kvtest::ReadFileBytes(destination / "1.txt"), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(destination),
                            std::filesystem::directory_iterator()),
              2);
}
