#include "app/velmor_dlg.h"

#include "app/about_dlg.h"
#include "app/second_start.h"
#include "app/startup_splash.h"
#include "app/velmor_dlg_auto_proxy.h"
#include "controls/about_menu_item.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "identity/app_question.h"
#include "log/activity_log.h"
#include "log/banners.h"
#include "log/open_activity_log.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/qt/local_path_qt.h"
#include "platform/qt/report_list_qt.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/gui/preview_dialog.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"
#include "workflow/save_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <ctime>
#include <cwctype>
#include <initializer_list>

CVelmorDlg* g_mainDlg = nullptr;

namespace {

using platform::MB_ICONINFORMATION;
using platform::MB_OK;
using platform::MB_SYSTEMMODAL;

CVelmorDlg::FileChooser& Chooser() {
    static CVelmorDlg::FileChooser chooser = [](QWidget* owner) {
        // URLs: a desktop's own dialog hands over the names' bytes in them.
        return QFileDialog::getOpenFileUrls(owner, QStringLiteral(" Open Zip files"), QUrl(),
                                            QStringLiteral("zip (*.zip)"));
    };
    return chooser;
}

CVelmorDlg::PreviewRunner& Runner() {
    static CVelmorDlg::PreviewRunner runner = [](CVelmorDlg& main) {
        // The steps share one place and size on the screen.
        CPreview preview;
        preview.TakePlaceOf(main);
        preview.DoModal();
        main.resize(preview.size());
        main.move(preview.geometry().topLeft());
    };
    return runner;
}

// A .zip file (any letter case) that is there, as Browse offers them.
bool IsArchiveFile(const std::wstring& path) {
    if (path.size() < 4)
        return false;
    std::wstring suffix = path.substr(path.size() - 4);
    for (wchar_t& c : suffix)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return suffix == L".zip" && GetPathKind(path) == PathKind::file;
}

QString AppFolder() {
    return QString::fromStdWString(g_appFolder);
}

// What a file manager drops: local archives only, as Browse offers them,
// named by the URLs' own bytes.
QStringList DroppedArchives(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (const std::optional<std::wstring> path = platform::LocalPath(url);
            path && IsArchiveFile(*path))
            paths << platform::PathToQString(*path);
    }
    return paths;
}

} // namespace

CVelmorDlg::FileChooser CVelmorDlg::SetFileChooser(FileChooser chooser) {
    return std::exchange(Chooser(), std::move(chooser));
}

CVelmorDlg::PreviewRunner CVelmorDlg::SetPreviewRunner(PreviewRunner runner) {
    return std::exchange(Runner(), std::move(runner));
}

CVelmorDlg::CVelmorDlg(QWidget* parent) : CDialog(res::Dialog(res::IDD_VELMOR_DIALOG), parent) {
    m_hIcon = QIcon(res::LoadImage(res::IDR_MAINFRAME, QSize(256, 256)));
    m_backgroundLoaded = LoadSkin(AppFolder() + QStringLiteral("/Kelvane-Zip.bmp"));
    setAcceptDrops(true);
    ShowStartupSplash(this, AppFolder() + QStringLiteral("/Flash.bmp"));
}

CVelmorDlg::~CVelmorDlg() {
    // A client may hold the automation object longer than this dialog lives.
    if (m_pAutoProxy)
        m_pAutoProxy->m_pDialog = nullptr;
    if (g_mainDlg == this)
        g_mainDlg = nullptr;
    if (g_mainDialogCommands == this)
        g_mainDialogCommands = nullptr;
}

bool CVelmorDlg::OnInitDialog() {
    // DoModal builds the controls again: this dialog holds the name by then.
    if (!m_instance.IsClaimed()) {
        if (!m_instance.Claim()) {
            // The instance that holds the name gets our archives; it may
            // still be starting, so it is given a while to listen.
            if (!HandOverToRunningInstance(m_startupFiles, g_secondStartPatience))
                Notify(L"Kelvane for Zip is already running");
            platform::EndProcess(0);
            return true;
        }
        m_instance.SetHandler(
            [this](const QStringList& archives) { return OnSecondStart(archives); });
    }

    AppendAboutToSystemMenu(*this);
    setWindowIcon(m_hIcon);
    setWindowTitle(QString::fromStdWString(g_appTitle));
    g_mainDlg = this;
    g_mainDialogCommands = this;

    m_sourceList = GetDlgItemAs<QTreeWidget>(res::IDC_SOURCE_LIST);
    m_skipPreviewCheck = GetDlgItemAs<QCheckBox>(res::IDC_SKIP_PREVIEW);
    m_pastDamageCheck = GetDlgItemAs<QCheckBox>(res::IDC_PAST_DAMAGE);
    m_linksAsFilesCheck = GetDlgItemAs<QCheckBox>(res::IDC_LINKS_AS_FILES);
    m_repairButton = GetDlgItemAs<QPushButton>(res::IDC_REPAIR);
    m_clearAllButton = GetDlgItemAs<QPushButton>(res::IDC_CLEAR_ALL);
    m_clearSelectedButton = GetDlgItemAs<QPushButton>(res::IDC_CLEAR_SELECTED);
    m_quickRepairRadio = GetDlgItemAs<QRadioButton>(res::IDC_QUICK_REPAIR);
    m_advanceRepairRadio = GetDlgItemAs<QRadioButton>(res::IDC_ADVANCE_REPAIR);

    // The options survive a rebuild of the controls; a first start shows
    // Quick Repair and Skip Preview off.
    m_quickRepairRadio->setChecked(g_repairMode == 0);
    m_advanceRepairRadio->setChecked(g_repairMode == 1);
    m_skipPreviewCheck->setChecked(g_skipPreview != 0);
    m_pastDamageCheck->setChecked(g_pastDamage != 0);
    m_linksAsFilesCheck->setChecked(g_keepLinksAsFiles != 0);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    WriteStartBanner(local);

    EnableMenuItem(res::ID_FILE_SAVECURRENTFILE, false);
    EnableMenuItem(res::ID_FILE_SAVEALL, false);

    m_sourceList->setHeaderLabels({QStringLiteral(" File No."), QStringLiteral(" File Name")});
    QHeaderView* header = m_sourceList->header();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The number column never cuts its heading; the paths take the rest of
    // the list, as wide as it grows, and are shortened in the middle.
    const int headingWidth = header->fontMetrics().horizontalAdvance(QStringLiteral(" File No."));
    m_sourceList->setColumnWidth(0, std::max(60, headingWidth + 16));
    m_sourceList->setColumnWidth(1, 500);
    header->setStretchLastSection(true);
    m_sourceList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_sourceList->setAllColumnsShowFocus(true);
    platform::ShowAsReportList(m_sourceList);

    EnableClearButtons(false);
    AddSourceFiles(std::exchange(m_startupFiles, {}));
    return true;
}

void CVelmorDlg::EnableClearButtons(bool enabled) {
    m_clearAllButton->setEnabled(enabled);
    m_clearSelectedButton->setEnabled(enabled);
}

bool CVelmorDlg::Ask(const wchar_t* text, bool withOwner) {
    return AskUser(withOwner ? static_cast<QWidget*>(this) : nullptr, text);
}

void CVelmorDlg::Notify(const std::wstring& text) {
    platform::MessageBox(this, text, g_appTitle, MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL);
}

void CVelmorDlg::AppendRow(const QString& path) {
    const int index = m_sourceList->topLevelItemCount();
    const QString shown = platform::ShownText(platform::PathFromQString(path));
    auto* item = new QTreeWidgetItem({QString::number(index + 1), shown});
    item->setToolTip(1, shown);
    item->setData(1, Qt::UserRole, path);
    m_sourceList->addTopLevelItem(item);
}

QStringList CVelmorDlg::SourcePaths() const {
    QStringList paths;
    for (int row = 0; row < m_sourceList->topLevelItemCount(); ++row)
        paths << m_sourceList->topLevelItem(row)->data(1, Qt::UserRole).toString();
    return paths;
}

void CVelmorDlg::AddSourceFiles(const QStringList& paths) {
    // Two names are one archive when they reach the same file; names that
    // differ only in case are two files here.
    std::vector<FileIdentity> listed;
    for (const QString& path : SourcePaths())
        if (const std::optional<FileIdentity> identity =
                IdentifyFile(platform::PathFromQString(path)))
            listed.push_back(*identity);
    std::wstring refused;
    const auto refuse = [&refused](const QString& path, const wchar_t* why) {
        refused += L"\r\n" + platform::PathFromQString(path) + L": " + why;
    };
    for (const QString& path : paths) {
        if (path.isEmpty())
            continue;
        const std::wstring wide = platform::PathFromQString(path);
        const std::optional<FileIdentity> identity = IdentifyFile(wide);
        if (!identity || GetPathKind(wide) != PathKind::file) {
            refuse(path, L"file missing");
            continue;
        }
        if (std::find(listed.begin(), listed.end(), *identity) != listed.end()) {
            refuse(path, L"already listed");
            continue;
        }
        listed.push_back(*identity);
        AppendRow(path);
        EnableClearButtons(true);
    }
    if (refused.empty())
        return;
    // Said once the caller is done: a later start waits for its answer,
    // and a drop for its source, meanwhile.
    QTimer::singleShot(0, this, [this, text = L"Not added:" + refused] { Notify(text); });
}

CSingleInstance::Answer CVelmorDlg::OnSecondStart(const QStringList& archives) {
    if (m_repairing && !archives.isEmpty())
        return CSingleInstance::Answer::Busy;
    AddSourceFiles(archives);
    // The window the user works in comes to the front; one an automation
    // client has hidden stays hidden.
    QWidget* front = m_repairing ? QApplication::activeModalWidget() : this;
    if (front && front->isVisible()) {
        if (front->isMinimized())
            front->showNormal();
        front->raise();
        front->activateWindow();
    }
    return CSingleInstance::Answer::Added;
}

void CVelmorDlg::OnBrowse() {
    const FileChooser& chooser = Chooser();
    if (!chooser)
        return;
    QStringList paths;
    for (const QUrl& chosen : chooser(this))
        if (const std::optional<std::wstring> path = platform::LocalPath(chosen))
            paths << platform::PathToQString(*path);
    AddSourceFiles(paths);
}

void CVelmorDlg::OnClearSelected() {
    QTreeWidgetItem* selected = m_sourceList->currentItem();
    if (selected == nullptr || !selected->isSelected()) {
        Notify(L"Please select any file to remove");
        return;
    }
    if (!Ask(L"Do you want to clear the selected file?"))
        return;
    delete selected;
    if (m_sourceList->topLevelItemCount() == 0)
        EnableClearButtons(false);
    // Number the rows that remain 1, 2, 3... again.
    const QStringList rebuild = SourcePaths();
    m_sourceList->clear();
    for (const QString& path : rebuild)
        AppendRow(path);
}

void CVelmorDlg::OnClearAll() {
    if (m_sourceList->topLevelItemCount() == 0)
        return;
    if (!Ask(L"Do you want to clear all files ?"))
        return;
    m_sourceList->clear();
    EnableClearButtons(false);
}

void CVelmorDlg::OnRepair() {
    const QStringList rows = SourcePaths();
    std::vector<std::wstring> paths;
    for (const QString& path : rows)
        paths.push_back(platform::PathFromQString(path));
    RecordRepairSelection(paths);

    if (rows.isEmpty() || g_sourceFiles == nullptr) {
        Notify(L"No files selected, Kindly select a file");
        return;
    }
    if (GetPathKind(paths.back()) == PathKind::nothing) {
        // Files are listed, so "no files selected" would be wrong: name the
        // ones that have gone since they were chosen.
        std::wstring missing;
        for (const std::wstring& path : paths)
            if (GetPathKind(path) == PathKind::nothing)
                missing += (missing.empty() ? L"" : L"\n") + path;
        Notify(L"These archives are no longer there:\n\n" + missing +
               L"\n\nRemove them from the list, or choose them again.");
        return;
    }
    // Hidden, not ended: Back in the preview returns here with the rows and options.
    ShowWindow(false);
    LogAnalysisStart();
    m_repairing = true;
    if (const PreviewRunner& runner = Runner())
        runner(*this);
    m_repairing = false;
    // The run is over: the password given for its archives goes with it.
    g_runPassword.Clear();
    ShowWindow(true);
}

void CVelmorDlg::SetRepairMode(int mode) {
    g_repairMode = mode;
    LogRepairMode(mode);
}

void CVelmorDlg::OnQuickRepairRadio() {
    SetRepairMode(0);
}

void CVelmorDlg::OnAdvanceRepairRadio() {
    SetRepairMode(1);
}

void CVelmorDlg::OnQuickRepairMenu() {
    SetRepairMode(0);
    m_quickRepairRadio->setChecked(true);
    m_advanceRepairRadio->setChecked(false);
}

void CVelmorDlg::OnAdvanceRepairMenu() {
    SetRepairMode(1);
    m_advanceRepairRadio->setChecked(true);
    m_quickRepairRadio->setChecked(false);
}

void CVelmorDlg::OnSkipPreviewCheck() {
    g_skipPreview = m_skipPreviewCheck->isChecked() ? 1 : 0;
}

void CVelmorDlg::OnPastDamageCheck() {
    g_pastDamage = m_pastDamageCheck->isChecked() ? 1 : 0;
}

void CVelmorDlg::OnLinksAsFilesCheck() {
    g_keepLinksAsFiles = m_linksAsFilesCheck->isChecked() ? 1 : 0;
}

void CVelmorDlg::OnSkipPreviewMenu() {
    g_skipPreview = 1 - g_skipPreview;
    m_skipPreviewCheck->setChecked(g_skipPreview != 0);
}

void CVelmorDlg::OnViewLog() {
    OpenActivityLogInNotepad(static_cast<QWidget*>(this));
}

void CVelmorDlg::OnClearLog() {
    ClearActivityLog(this);
}

// The help is a page in the browser, which cannot be asked whether it shows
// the page already: every request opens it.
void CVelmorDlg::OnHelpContents() {
    OpenOrSayWhere(static_cast<QWidget*>(this), g_appFolder + L"/Kelvane for Zip.html");
}

void CVelmorDlg::OnAbout() {
    CAboutDlg about(this);
    about.DoModal();
}

void CVelmorDlg::OnExitMenu() {
    if (Ask(L"Do you want to exit?"))
        OnCancel();
}

void CVelmorDlg::OnOK() {
    // An automation client keeps its object: only hide, the program runs on.
    if (m_pAutoProxy)
        ShowWindow(false);
    else
        CDialog::OnOK();
}

void CVelmorDlg::OnCancel() {
    if (m_pAutoProxy)
        ShowWindow(false);
    else
        CDialog::OnCancel();
}

void CVelmorDlg::OnClose() {
    m_repairButton->setEnabled(false);
    if (Ask(L"Do you want to exit?"))
        OnOK();
    m_repairButton->setEnabled(true);
}

bool CVelmorDlg::OnCommand(int id) {
    switch (id) {
    case res::IDC_BROWSE:
    case res::ID_FILE_SELECTFILE:
        OnBrowse();
        return true;
    case res::IDC_CLEAR_SELECTED:
        OnClearSelected();
        return true;
    case res::IDC_CLEAR_ALL:
        OnClearAll();
        return true;
    case res::IDC_REPAIR:
        OnRepair();
        return true;
    case res::IDC_QUICK_REPAIR:
        OnQuickRepairRadio();
        return true;
    case res::IDC_ADVANCE_REPAIR:
        OnAdvanceRepairRadio();
        return true;
    case res::IDC_SKIP_PREVIEW:
        OnSkipPreviewCheck();
        return true;
    case res::IDC_PAST_DAMAGE:
        OnPastDamageCheck();
        return true;
    case res::IDC_LINKS_AS_FILES:
        OnLinksAsFilesCheck();
        return true;
    case res::ID_FILE_EXIT:
        OnExitMenu();
        return true;
    case res::ID_REPAIRMODE_QUICKREPAIR:
        OnQuickRepairMenu();
        return true;
    case res::ID_REPAIRMODE_ADVANCEREPAIR:
        OnAdvanceRepairMenu();
        return true;
    case res::ID_OPTION_SKIPPREVIEW:
        OnSkipPreviewMenu();
        return true;
    case res::ID_OPTION_VIEWLOG:
        OnViewLog();
        return true;
    case res::ID_OPTION_CLEARLOG:
        OnClearLog();
        return true;
    case res::ID_HELP_ABOUT:
        OnAbout();
        return true;
    case res::ID_HELP_CONTENTS:
        OnHelpContents();
        return true;
    default:
        return CDialog::OnCommand(id);
    }
}

void CVelmorDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == res::IDM_ABOUTBOX)
        OnAbout();
    else
        CDialog::OnSysCommand(id);
}

bool CVelmorDlg::PreTranslateMessage(QObject*, QEvent* event) {
    const int key = platform::PressedKey(event);
    if (key == Qt::Key_Escape) {
        if (Ask(L"Do you want to exit ? ", false))
            platform::EndProcess(0);
        return true;
    }
    if (key == Qt::Key_F1)
        OnHelpContents();
    return false;
}

void CVelmorDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedArchives(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CVelmorDlg::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedArchives(event->mimeData());
    if (paths.isEmpty())
        return;
    AddSourceFiles(paths);
    event->acceptProposedAction();
}
