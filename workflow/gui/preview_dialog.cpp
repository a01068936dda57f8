#include "workflow/gui/preview_dialog.h"

#include "controls/about_menu_item.h"
#include "controls/transparent_static.h"
#include "engine/entry_decoder.h"
#include "identity/app_question.h"
#include "log/activity_log.h"
#include "platform/process.h"
#include "platform/qt/folder_browser_qt.h"
#include "platform/qt/local_path_qt.h"
#include "platform/qt/worker_halt_qt.h"
#include "platform/text.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/analysis_format.h"
#include "workflow/destination_check.h"
#include "workflow/gui/analysis_dialog.h"
#include "workflow/gui/entry_list_view.h"
#include "workflow/gui/main_dialog_commands.h"
#include "workflow/gui/saving_dialog_runner.h"
#include "workflow/repair_state.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

CPreview* g_previewDlg = nullptr;

namespace {

void Tell(QWidget* owner, const wchar_t* text, unsigned extra = 0) {
    platform::MessageBox(owner, text, g_appTitle,
                         platform::MB_OK | platform::MB_ICONINFORMATION | extra);
}

// A question whose Yes ends the process at once, closing nothing.
void ExitOnYes(QWidget* owner, const wchar_t* text) {
    if (AskUser(owner, text))
        platform::EndProcess(0);
}

QString Number(int value) {
    return QString::number(value);
}

// The widest text each column can hold, made by the same formatting as the
// rows: a column this wide never cuts its texts.
std::vector<QStringList> WidestTexts() {
    std::vector<QStringList> widest(entryColumnCount);
    const auto keep = [&widest](int column, const std::wstring& text) {
        widest[static_cast<std::size_t>(column)] << QString::fromStdWString(text);
    };
    for (const std::uint32_t size : {1023u, 1048575u, 0xFFFFFFFFu}) {
        keep(columnUncompressedSize, FormatSizeText(size));
        keep(columnCompressedSize, FormatSizeText(size));
    }
    keep(columnRatio, FormatRatioText(9999, 1));
    // Hex letters differ in width: each of the widest fills a CRC.
    for (const std::uint32_t crc :
         {0x00000000u, 0xAAAAAAAAu, 0xBBBBBBBBu, 0xDDDDDDDDu, 0xEEEEEEEEu})
        keep(columnCrc, FormatCrcText(crc));
    for (std::uint16_t method = 0; method < 100; ++method)
        keep(columnMethod, platform::FromUtf8(MethodLabel(method)));
    // Day 28 of every month of 2088 at 23:58:58: the widest digits and names.
    for (int month = 0; month < 12; ++month) {
        std::tm parts{};
        parts.tm_year = 2088 - 1900;
        parts.tm_mon = month;
        parts.tm_mday = 28;
        parts.tm_hour = 23;
        parts.tm_min = 58;
        parts.tm_sec = 58;
        keep(columnModifiedTime, FormatModifiedTimeText(timegm(&parts)));
    }
    return widest;
}

} // namespace

CPreview::CPreview(QWidget* parent)
    : CDialog(res::Dialog(res::IDD_PREVIEW), parent), m_entryModel(new CEntryListModel(this)) {
    BindControl(res::IDC_ENTRY_LIST, m_entryList);
    BindControl(res::IDC_FILE_NUMBER, m_fileNumber);
    BindControl(res::IDC_SOURCE_PATH, m_sourcePath);
    BindControl(res::IDC_ENTRY_COUNT, m_listedCount);
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Kelvane-Zip.bmp"));
    g_runAnalysisOnPaint = 0;
}

CPreview::~CPreview() {
    if (g_previewDlg == this)
        g_previewDlg = nullptr;
}

bool CPreview::OnInitDialog() {
    AppendAboutToSystemMenu(*this);
    setWindowTitle(QString::fromStdWString(g_appTitle));
    for (int id : {res::ID_FILE_SELECTFILE, res::ID_OPTION_SKIPPREVIEW,
                   res::ID_REPAIRMODE_QUICKREPAIR, res::ID_REPAIRMODE_ADVANCEREPAIR})
        EnableMenuItem(id, false);
    g_previewDlg = this;
    CreateColumns();
    EnableButtons({res::IDC_SAVE_CURRENT, res::IDC_SAVE_ALL, res::IDC_BACK_FILE, res::IDC_NEXT_FILE,
                   res::IDC_BACK},
                  false);
    if (g_skipPreview == 1) {
        // No file is chosen and no analysis runs: only Back and Save All.
        EnableButtons({res::IDC_BACK, res::IDC_SAVE_ALL}, true);
        SetDlgItemText(res::IDC_FILE_NUMBER, Number(g_sourceFileCount));
        SetDlgItemText(res::IDC_FILE_COUNT, Number(g_sourceFileCount));
        GetDlgItem(res::IDC_SOURCE_PATH_LABEL)->setEnabled(false);
        GetDlgItem(res::IDC_ENTRY_COUNT_LABEL)->setEnabled(false);
        EnableMenuItem(res::ID_FILE_SAVECURRENTFILE, false);
        g_pendingSaveAllNotice = 1;
    } else {
        m_currentFileNumber = 1;
        SetDlgItemText(res::IDC_SOURCE_PATH, platform::ShownText(GetSourcePath(0)));
        SetDlgItemText(res::IDC_FILE_NUMBER, Number(1));
        SetDlgItemText(res::IDC_FILE_COUNT, Number(g_sourceFileCount));
        UpdateFileButtons();
    }
    g_runAnalysisOnPaint = 1;
    return true;
}

void CPreview::CreateColumns() {
    // A report list inserts at an index no larger than its column count and
    // pushes the rest right: "CRC 32" made at 5 lands at 4 until "Modified
    // Time" is made at 4.
    std::vector<std::pair<QString, int>> columns;
    const auto insert = [&columns](std::size_t index, const char* heading, int width) {
        index = std::min(index, columns.size());
        columns.insert(columns.begin() + static_cast<std::ptrdiff_t>(index),
                       {QString::fromUtf8(heading), width});
    };
    insert(0, "File Name", 200);
    insert(1, "UnCompressed File Size", 135);
    insert(2, "Compressed File Size", 125);
    insert(3, "Compression Ratio", 115);
    insert(5, "CRC 32", 100);
    insert(4, "Modified Time", 100);
    insert(6, "Method", 80);

    QStringList headings;
    for (const auto& column : columns)
        headings << column.first;
    m_entryModel->SetHeadings(headings);
    m_entryList->setModel(m_entryModel);
    // Full-row select, several rows selectable.
    m_entryList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_entryList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Each column at least as designed and as wide as its widest text, so
    // that no size, time or CRC is cut; names are shortened in the middle.
    QHeaderView* header = m_entryList->horizontalHeader();
    header->setMinimumSectionSize(20);
    const QFontMetrics metrics = m_entryList->fontMetrics();
    const int margin = 2 * m_entryList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    std::vector<QStringList> widest = WidestTexts();
    std::vector<int> preferred;
    std::vector<int> fitting;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const auto& [heading, designed] = columns[static_cast<std::size_t>(i)];
        int width = header->fontMetrics().horizontalAdvance(heading) + margin;
        for (const QString& text : widest[static_cast<std::size_t>(i)])
            width = std::max(width, metrics.horizontalAdvance(text) + margin);
        fitting.push_back(width);
        preferred.push_back(std::max(width, designed));
    }
    // The names give up room before the last column goes out of sight: they
    // are shortened in the middle and shown whole in their tips.
    constexpr int kLeastNameWidth = 90;
    m_entryList->FitColumns(std::move(preferred), std::move(fitting), kLeastNameWidth);
}

void CPreview::EnableButtons(std::initializer_list<int> ids, bool enabled) {
    for (int id : ids)
        if (QWidget* button = GetDlgItem(id))
            button->setEnabled(enabled);
}

void CPreview::UpdateFileButtons() {
    EnableButtons({res::IDC_BACK_FILE, res::IDC_NEXT_FILE, res::IDC_BACK, res::IDC_SAVE_ALL,
                   res::IDC_SAVE_CURRENT},
                  false);
    const int n = m_currentFileNumber;
    const int count = g_sourceFileCount;
    EnableButtons({res::IDC_BACK_FILE}, count != 1 && n != 1);
    EnableButtons({res::IDC_NEXT_FILE}, count != 1 && n != count);
}

void CPreview::EnableSaveAndBack() {
    EnableButtons({res::IDC_SAVE_ALL, res::IDC_SAVE_CURRENT, res::IDC_BACK}, true);
}

void CPreview::RunAnalysis() {
    CProgressBar analysis(*this, this);
    m_analysisOpen = true;
    analysis.DoModal();
    m_analysisOpen = false;
    // The next paint reaps the worker.
    Client()->update();
}

void CPreview::OnPaint(QPainter&) {
    if (g_skipPreview == 0) {
        if (g_runAnalysisOnPaint == 1) {
            g_runAnalysisOnPaint = 0;
            PostAfterPaint([this] {
                RunAnalysis();
                EnableSaveAndBack();
            });
        }
        // While an analysis dialog is open it must still see its own flag.
        if (g_reapAnalysisThread == 1 && !m_analysisOpen)
            PostAfterPaint([this] { ReapAnalysisWorker(); });
    }
    if (g_skipPreview == 1 && g_pendingSaveAllNotice == 1) {
        g_pendingSaveAllNotice = 0;
        // Nothing to preview: straight on to the folder choice and saving.
        // Cancelled, the step stays with Back and Save All.
        PostAfterPaint([this] { OnSaveAll(); });
    }
}

void CPreview::ReapAnalysisWorker() {
    if (g_reapAnalysisThread != 1 || m_analysisOpen)
        return;
    g_reapAnalysisThread = 0;
    g_closeAnalysisDlg = 0;
    // Its work is done; it may only be on its way out.
    platform::WaitUntilFinishedWithoutBlocking(g_analysisThread.Gate());
    g_analysisThread.Join();
}

void CPreview::StepFile(int delta) {
    m_currentFileNumber += delta;
    SetDlgItemText(res::IDC_FILE_NUMBER, Number(m_currentFileNumber));
    SetDlgItemText(res::IDC_SOURCE_PATH,
                   platform::ShownText(GetSourcePath(m_currentFileNumber - 1)));
    SetDlgItemText(res::IDC_ENTRY_COUNT, QString());
    ShowListNote({});
    UpdateFileButtons();
    // A worker of the file before may still wait to be reaped.
    ReapAnalysisWorker();
    RunAnalysis();
    EnableSaveAndBack();
}

void CPreview::OnBackFile() {
    StepFile(-1);
}

void CPreview::OnNextFile() {
    StepFile(+1);
}

void CPreview::OnBack() {
    if (!AskUser(this, L"Do you want to go to previous step ?"))
        return;
    FreeSourceFiles();
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"Return Back to Previoue Step ");
    WriteActivityLog(L"\r\n");
    EndDialog(platform::IDCANCEL);
}

QString CPreview::DestinationStart() {
    // The last destination of the run, else the first archive's folder.
    for (const std::wstring* last : {&g_saveCurrentFolder, &g_saveAllFolder})
        if (!last->empty())
            return QString::fromStdWString(*last);
    if (g_sourceFiles != nullptr)
        return QFileInfo(QString::fromStdWString(g_sourceFiles->path)).absolutePath();
    return {};
}

bool CPreview::ChooseDestination(std::wstring& folder) {
    for (;;) {
        const std::optional<std::wstring> chosen = platform::BrowseForFolder(
            this, QStringLiteral("Select the Destination Path"), DestinationStart());
        if (!chosen)
            return false;
        folder = *chosen;
        // A folder that is not there is named before the write test, which
        // could never succeed in it.
        if (!DestinationExists(folder)) {
            Tell(this, L"Saving path doesn't exist, select another path for saving ");
            return false;
        }
        if (DestinationWritable(folder))
            return true;
        // Said, not passed over in silence; then the choice again.
        Tell(this, (L"Cannot write to " + folder).c_str());
    }
}

void CPreview::RunSaving(bool hidePreview) {
    // The preview may go on after saving: its modal loop must outlive the hiding.
    if (hidePreview)
        ShowWindow(false);
    RunSavingDialog();
    if (hidePreview)
        ShowWindow(true);
}

void CPreview::OnSaveCurrentFile() {
    if (!ChooseDestination(g_saveCurrentFolder))
        return;
    g_saveCurrentOnly = 1;
    RunSaving(g_sourceFileCount == 1);
}

void CPreview::OnSaveAll() {
    if (!ChooseDestination(g_saveAllFolder))
        return;
    RunSaving(true);
}

void CPreview::OnExit() {
    ExitOnYes(this, L"Do you want to exit?            ");
}

void CPreview::OnClose() {
    ExitOnYes(this, L"Do you want to exit?        ");
}

bool CPreview::OnCommand(int id) {
    IMainDialogCommands* main = g_mainDialogCommands;
    switch (id) {
    case res::IDC_BACK:
        OnBack();
        return true;
    case res::IDC_BACK_FILE:
        OnBackFile();
        return true;
    case res::IDC_NEXT_FILE:
        OnNextFile();
        return true;
    case res::IDC_SAVE_CURRENT:
    case res::ID_FILE_SAVECURRENTFILE:
        OnSaveCurrentFile();
        return true;
    case res::IDC_SAVE_ALL:
    case res::ID_FILE_SAVEALL:
        OnSaveAll();
        return true;
    case res::ID_FILE_EXIT:
        OnExit();
        return true;
    case res::ID_OPTION_VIEWLOG:
        if (main)
            main->OnViewLog();
        return true;
    case res::ID_HELP_CONTENTS:
        if (main)
            main->OnHelpContents();
        return true;
    case res::ID_OPTION_CLEARLOG:
        if (main)
            main->OnClearLog();
        return true;
    case res::ID_HELP_ABOUT:
        // The owner, the main dialog, shows the About box.
        if (main)
            main->OnAbout();
        return true;
    default:
        return CDialog::OnCommand(id);
    }
}

void CPreview::OnSysCommand(int id) {
    if (id == res::IDM_ABOUTBOX) {
        if (g_mainDialogCommands)
            g_mainDialogCommands->OnAbout();
        return;
    }
    CDialog::OnSysCommand(id);
}

bool CPreview::PreTranslateMessage(QObject*, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    if (type != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & Qt::ControlModifier) &&
        (key->key() == Qt::Key_A || key->key() == Qt::Key_C))
        return false; // straight to the focused control, the list
    switch (key->key()) {
    case Qt::Key_Escape:
        ExitOnYes(this, L"Do you want to exit ?        ");
        return true;
    case Qt::Key_F1:
        if (g_mainDialogCommands)
            g_mainDialogCommands->OnHelpContents();
        return false;
    default:
        return false;
    }
}

int CPreview::EntryRowCount() const {
    return m_entryModel->rowCount();
}

void CPreview::DeleteAllEntryRows() {
    m_entryModel->Clear();
}

void CPreview::AppendEntryRows(std::vector<EntryRow> rows) {
    m_entryModel->Append(std::move(rows));
}

void CPreview::SetListedCount(const std::wstring& text) {
    SetDlgItemText(res::IDC_ENTRY_COUNT, QString::fromStdWString(text));
}

void CPreview::ShowListNote(const std::wstring& text) {
    if (m_entryList == nullptr)
        return;
    if (m_listNote == nullptr) {
        if (text.empty())
            return;
        m_listNote = new QLabel(m_entryList->viewport());
        m_listNote->setAlignment(Qt::AlignCenter);
        m_listNote->setWordWrap(true);
        m_listNote->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_listNote->setText(QString::fromStdWString(text));
    m_listNote->setGeometry(m_entryList->viewport()->rect());
    m_listNote->setVisible(!text.empty());
}
