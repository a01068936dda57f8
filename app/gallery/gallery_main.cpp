// Renders every custom control in its states and every dialog template over
// its skin into PNG files, for people to look at:
//   kvzip_gallery <data folder> <output folder> [archive of 100000 entries]
// Run it with QT_QPA_PLATFORM=offscreen (make screenshots does).
#include "app/about_dlg.h"
#include "app/single_instance.h"
#include "app/splash_screen_ex.h"
#include "app/startup_splash.h"
#include "app/velmor_dlg.h"
#include "controls/text_progress_ctrl.h"
#include "controls/transparent_static.h"
#include "controls/transparent_static2.h"
#include "controls/url_link_button.h"
#include "engine/file_header.h"
#include "log/activity_log.h"
#include "log/gui/view_log_dialog.h"
#include "platform/qt/dialog_qt.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/analysis_list.h"
#include "workflow/entry_row.h"
#include "workflow/gui/analysis_dialog.h"
#include "workflow/gui/entry_list_view.h"
#include "workflow/gui/file_save_dialog.h"
#include "workflow/gui/password_dialog.h"
#include "workflow/gui/preview_dialog.h"
#include "workflow/gui/save_msg_dialog.h"
#include "workflow/repair_state.h"
#include <QPushButton>
#include <QThread>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

namespace {

QString g_data;
QDir g_out;
int g_failures = 0;

void Save(QWidget& widget, const QString& name) {
    widget.show();
    QApplication::processEvents();
    const QString path = g_out.filePath(name + QStringLiteral(".png"));
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "kvzip_gallery: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
    widget.hide();
}

// A piece of the secondary skin to put controls on.
class SkinPanel : public QWidget {
public:
    explicit SkinPanel(QSize size) : m_skin(g_data + QStringLiteral("/Skin2.bmp")) {
        setFixedSize(size);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().window());
        painter.drawPixmap(0, 0, m_skin);
    }

private:
    QPixmap m_skin;
};

void ProgressBars() {
    struct Case {
        const char* name;
        int position;
        platform::COLORREF bar, back, text;
        const char* fixedText;
        bool vertical;
    };
    const Case cases[] = {
        {"progress_0", 0, platform::CLR_DEFAULT, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         nullptr, false},
        {"progress_42", 42, platform::CLR_DEFAULT, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         nullptr, false},
        {"progress_50_half_over_text", 50, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         platform::CLR_DEFAULT, nullptr, false},
        {"progress_100", 100, platform::CLR_DEFAULT, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         nullptr, false},
        {"progress_colours", 65, platform::RGB(59, 168, 92), platform::RGB(236, 244, 238),
         platform::CLR_DEFAULT, nullptr, false},
        {"progress_text_colour", 30, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         platform::RGB(200, 30, 30), nullptr, false},
        {"progress_fixed_text", 70, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         platform::CLR_DEFAULT, "Scanning...", false},
        {"progress_vertical_60", 60, platform::CLR_DEFAULT, platform::CLR_DEFAULT,
         platform::CLR_DEFAULT, nullptr, true},
    };
    for (const Case& c : cases) {
        SkinPanel panel(c.vertical ? QSize(60, 140) : QSize(260, 44));
        auto* bar = new CTextProgressCtrl(&panel);
        bar->setGeometry(c.vertical ? QRect(20, 10, 20, 120) : QRect(10, 12, 240, 20));
        bar->SetVertical(c.vertical);
        bar->SetBarColor(c.bar);
        bar->SetBkColor(c.back);
        bar->SetTextColour(c.text);
        if (c.fixedText)
            bar->SetWindowText(QString::fromUtf8(c.fixedText));
        panel.show();
        bar->SetPos(c.position);
        Save(panel, QString::fromUtf8(c.name));
    }
}

void Labels() {
    SkinPanel panel(QSize(320, 70));
    auto* first = new CTransparentStatic(&panel);
    first->setGeometry(10, 8, 300, 20);
    auto* second = new CTransparentStatic2(&panel);
    second->setGeometry(10, 38, 300, 20);
    panel.show();
    first->SetWindowText(QStringLiteral("CTransparentStatic: /home/user/archives/photos.zip"));
    second->SetWindowText(
        QStringLiteral("CTransparentStatic2: old text, much longer than the new"));
    QApplication::processEvents();
    second->SetWindowText(QStringLiteral("CTransparentStatic2: new"));
    Save(panel, QStringLiteral("transparent_labels"));
}

void LinkButtons() {
    CURLLinkButton::SetOpener([](const std::wstring&) { return true; });
    const char* const names[] = {"link_normal", "link_hover", "link_visited", "link_disabled"};
    for (int state = 0; state < 4; ++state) {
        SkinPanel panel(QSize(240, 36));
        auto* link = new CURLLinkButton(&panel);
        link->setText(QStringLiteral("www.kelvane.example"));
        link->setGeometry(10, 9, 220, 20);
        if (state == 1)
            link->m_hovering = true;
        if (state == 2)
            link->m_visited = true;
        if (state == 3)
            link->setEnabled(false);
        Save(panel, QString::fromUtf8(names[state]));
    }
}

// Previews a template with the custom controls that its dialog will bind.
class PreviewDialog : public platform::CDialog {
public:
    using CDialog::CDialog;

protected:
    QWidget* CreateControl(const platform::ControlTemplate& control, QWidget* parent) override {
        if (control.kind == platform::ControlKind::ProgressBar)
            return new CTextProgressCtrl(parent);
        if (Template().id == res::IDD_ABOUTBOX && control.id >= res::IDC_LINK_SITE &&
            control.id <= res::IDC_LINK_SUPPORT)
            return new CURLLinkButton(parent);
        return nullptr;
    }
};

void Dialogs() {
    for (const platform::DialogTemplate* dialogTemplate : res::AllDialogs()) {
        PreviewDialog dialog(*dialogTemplate);
        const bool main =
            dialogTemplate->id == res::IDD_VELMOR_DIALOG || dialogTemplate->id == res::IDD_PREVIEW;
        dialog.LoadSkin(g_data +
                        (main ? QStringLiteral("/Kelvane-Zip.bmp") : QStringLiteral("/Skin2.bmp")));
        dialog.CreateFromTemplate();
        Save(dialog, QStringLiteral("dialog_%1").arg(dialogTemplate->id));
    }
}

// The splash as the desktop shows it: the picture cut to its shape over a
// plain desktop colour.
void Splash() {
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(nullptr, SPLASH_CENTRE_SCREEN, 0);
    if (!splash->SetPicture(g_data + QStringLiteral("/Flash.bmp"))) {
        std::fprintf(stderr, "kvzip_gallery: cannot load the splash picture\n");
        ++g_failures;
    }
    QImage desktop(splash->m_pictureWidth + 40, splash->m_pictureHeight + 40, QImage::Format_RGB32);
    desktop.fill(QColor(0x3a, 0x6e, 0xa5));
    QPainter painter(&desktop);
    painter.translate(20, 20);
    painter.setClipRegion(splash->m_shape);
    splash->DrawSplash(painter);
    painter.end();
    desktop.save(g_out.filePath(QStringLiteral("splash.png")));
    splash->DestroyWindow();
}

void AboutBox() {
    CURLLinkButton::SetOpener([](const std::wstring&) { return true; });
    g_appFolder = g_data.toStdWString();
    CAboutDlg about;
    about.CreateFromTemplate();
    Save(about, QStringLiteral("about_box"));
}

// Step 1 as the user first sees it, and with archives chosen.
void MainDialog() {
    QTemporaryDir folder;
    g_appFolder = g_data.toStdWString();
    g_startupSplashWait = std::chrono::milliseconds(0);
    SetActivityLogFile(folder.filePath(QStringLiteral("Activity Log.txt")).toStdWString());
    CSingleInstance::SetServerName(
        QStringLiteral("kvzip-gallery-%1").arg(QCoreApplication::applicationPid()));
    CVelmorDlg dialog;
    dialog.CreateFromTemplate();
    Save(dialog, QStringLiteral("main_dialog_empty"));
    QStringList archives;
    for (const char* name : {"holiday-photos.zip", "project-backup.zip", "mail-archive.zip"}) {
        const QString path = folder.filePath(QString::fromUtf8(name));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        archives << path;
    }
    // One archive deep in a folder tree: its path is cut in the middle.
    const QString deep = folder.filePath(
        QStringLiteral("home/user/Documents/Recovered from the old laptop/2026 spring/"
                       "Scans of the family albums, second box"));
    QDir().mkpath(deep);
    const QString album = deep + QStringLiteral("/family-album-1987-1994.zip");
    QFile(album).open(QIODevice::WriteOnly);
    archives.insert(1, album);
    dialog.AddSourceFiles(archives);
    // The selected row, as it reads in a window that does not have the focus.
    dialog.m_sourceList->setCurrentItem(dialog.m_sourceList->topLevelItem(2));
    Save(dialog, QStringLiteral("main_dialog_rows"));
    dialog.resize(dialog.size() * 5 / 4);
    Save(dialog, QStringLiteral("main_dialog_enlarged"));
    SetActivityLogFile({});
}

// The saving dialog as the worker leaves it halfway through a Save All,
// without a worker behind it.
class StillFileSave : public CFileSave {
protected:
    void StartWorker() override {}
};

void SavingDialogs() {
    g_appFolder = g_data.toStdWString();
    // The completion dialog writes its banner: into a log of its own here.
    QTemporaryDir logFolder;
    SetActivityLogFile(logFolder.filePath(QStringLiteral("Activity Log.txt")).toStdWString());

    CSaveMsg prompt;
    prompt.CreateFromTemplate();
    Save(prompt, QStringLiteral("overwrite_prompt"));

    CPasswordDlg password(L"/home/user/Documents/taxes.zip");
    password.CreateFromTemplate();
    password.GetDlgItemAs<QLineEdit>(res::IDC_PASSWORD_EDIT)
        ->setText(QStringLiteral("correct horse"));
    Save(password, QStringLiteral("password_prompt"));

    // A run that saved and verified every file, and one that did not.
    PassTotals clean;
    clean.repairFolder = L"/home/user/salvage/Repair";
    clean.verdicts.verified = 1204;
    {
        CViewLog completion(clean);
        completion.CreateFromTemplate();
        Save(completion, QStringLiteral("completion_dialog"));
    }
    PassTotals problems = clean;
    problems.verdicts = {.verified = 1180, .damaged = 21, .partial = 3, .notSaved = 2};
    for (const auto& [path, problem] :
         {std::pair{L"/home/user/archives/fake.zip", SourceProblem::noZipData},
          std::pair{L"/home/user/archives/old backup.zip", SourceProblem::missing}}) {
        SourceTotals source;
        source.source.path = path;
        source.problem = problem;
        problems.sources.push_back(source);
    }
    {
        CViewLog completion(problems);
        completion.CreateFromTemplate();
        Save(completion, QStringLiteral("completion_dialog_problems"));
    }

    StillFileSave saving;
    saving.CreateFromTemplate();
    saving.show();
    QApplication::processEvents();
    // Paths too long for their labels keep both ends, the archive's name too.
    saving.SetDlgItemText(res::IDC_SAVE_FILE_NAME,
                          QStringLiteral("/home/user/Documents/Recovered from the old laptop/"
                                         "2026 spring/holiday photos 2026.zip"));
    saving.SetDlgItemText(res::IDC_SAVE_FILE_NUMBER, QStringLiteral("2"));
    saving.SetDlgItemText(res::IDC_SAVE_TOTAL, QStringLiteral("3"));
    saving.SetDlgItemText(res::IDC_SAVE_FILE_PATH,
                          QStringLiteral("/media/user/Backup disk/Salvaged archives/2026-12-08/"
                                         "Repair/holiday photos 2026"));
    saving.m_currentBar->SetPos(57);
    saving.m_overallBar->SetPos(33);
    Save(saving, QStringLiteral("saving_dialog_mid_run"));
    SetActivityLogFile(std::wstring());
}

// An entry list that holds nothing, for dialogs shown without a preview.
class EmptyList : public IAnalysisList {
public:
    int CurrentFileNumber() const override { return 1; }
    int EntryRowCount() const override { return 0; }
    void DeleteAllEntryRows() override {}
    void AppendEntryRows(std::vector<EntryRow>) override {}
    void SetListedCount(const std::wstring&) override {}
    void ShowListNote(const std::wstring&) override {}
};

// The analysis dialog as the user sees it, with a bar part way and no worker.
class AnalysisShowcase : public CProgressBar {
public:
    using CProgressBar::CProgressBar;

protected:
    void StartWorker() override {}
};

void AnalysisDialogs() {
    EmptyList list;
    for (const bool paused : {false, true}) {
        AnalysisShowcase dialog(list);
        dialog.CreateFromTemplate();
        dialog.m_progress->SetPos(42);
        if (paused)
            dialog.OnPauseResume();
        Save(dialog,
             paused ? QStringLiteral("analysis_paused") : QStringLiteral("analysis_running"));
        if (paused)
            dialog.OnPauseResume();
    }
}

// Waits for what the preview's first paint posted: the analysis of its file.
void WaitForFirstAnalysis(CPreview& preview) {
    auto* back = qobject_cast<QPushButton*>(preview.GetDlgItem(res::IDC_BACK));
    for (int i = 0; i < 20000 && !(g_runAnalysisOnPaint == 0 && back->isEnabled()); ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

// Selects rows of the preview's list the way a click and a shift-click do.
void SelectRows(CPreview& preview, int first, int last) {
    CEntryListView* list = preview.m_entryList;
    const QModelIndex from = list->model()->index(first, 0);
    const QModelIndex to = list->model()->index(last, list->model()->columnCount() - 1);
    list->selectionModel()->select(QItemSelection(from, to), QItemSelectionModel::ClearAndSelect);
    list->selectionModel()->setCurrentIndex(from, QItemSelectionModel::NoUpdate);
}

void PreviewDialogs(const QString& manyEntries) {
    // The analysis logs as it runs; not into the user's log.
    QTemporaryDir logFolder;
    SetActivityLogFile(logFolder.filePath(QStringLiteral("Activity Log.txt")).toStdWString());
    // The bundled sample, in a folder with a long path.
    QTemporaryDir folder;
    const QString deep =
        folder.filePath(QStringLiteral("home/user/Documents/Recovered from the old laptop/"
                                       "Backups of the office share, December"));
    QDir().mkpath(deep);
    const QString samplePath = deep + QStringLiteral("/damaged-backup.zip");
    QFile::copy(QString::fromUtf8(KVZIP_SAMPLE_ARCHIVE), samplePath);
    const std::wstring sample = samplePath.toStdWString();

    FreeSourceFiles();
    for (int i = 0; i < 3; ++i)
        AppendSourceFile(sample);
    g_sourceFileCount = 3;
    g_skipPreview = 0;
    {
        CPreview preview;
        preview.CreateFromTemplate();
        preview.show();
        WaitForFirstAnalysis(preview);
        SelectRows(preview, 2, 3);
        Save(preview, QStringLiteral("preview_rows"));
        preview.show();
        const QSize normal = preview.size();
        preview.resize(normal * 5 / 4);
        Save(preview, QStringLiteral("preview_enlarged"));
        preview.resize(normal);

        // An archive made with a password: its encrypted entries are marked.
        std::vector<EntryRow> rows;
        const std::pair<const wchar_t*, std::uint16_t> entries[] = {
            {L"Taxes/2023/return.pdf", 1},
            {L"Taxes/2023/receipts.xlsx", 1},
            {L"Taxes/README.txt", 0},
            {L"Taxes/2022/return.pdf", 1}};
        for (const auto& [name, flags] : entries) {
            CFileHeader header;
            header.name = name;
            header.flags = flags;
            header.compressedSize = 48213 + 1000 * static_cast<std::uint32_t>(rows.size());
            header.uncompressedSize = 91877 + 3000 * static_cast<std::uint32_t>(rows.size());
            header.storedCrc = 0x5A17C0DE + static_cast<std::uint32_t>(rows.size());
            header.modDate = ((2024 - 1980) << 9) | (3 << 5) | 14;
            header.modTime = (9 << 11) | (41 << 5);
            rows.push_back(MakeEntryRow(header));
        }
        preview.DeleteAllEntryRows();
        preview.AppendEntryRows(rows);
        preview.SetListedCount(std::to_wstring(rows.size()));
        Save(preview, QStringLiteral("preview_encrypted"));
    }
    g_analysisThread.Join();

    if (!manyEntries.isEmpty()) {
        FreeSourceFiles();
        AppendSourceFile(manyEntries.toStdWString());
        g_sourceFileCount = 1;
        CPreview preview;
        preview.CreateFromTemplate();
        preview.show();
        WaitForFirstAnalysis(preview);
        // Far down the list, as the user scrolls there.
        SelectRows(preview, 99990, 99990);
        preview.m_entryList->scrollToBottom();
        Save(preview, QStringLiteral("preview_100000_entries"));
        g_analysisThread.Join();
    }

    g_skipPreview = 1;
    {
        CPreview preview;
        preview.CreateFromTemplate();
        // The notice is a message box of its own, not part of the picture.
        g_pendingSaveAllNotice = 0;
        Save(preview, QStringLiteral("preview_skip"));
    }
    g_skipPreview = 0;
    FreeSourceFiles();
    SetActivityLogFile(L"");
}

void Artwork() {
    for (const char* name : {"Kelvane-Zip.bmp", "Skin2.bmp", "Flash.bmp"}) {
        const QImage image(g_data + QLatin1Char('/') + QString::fromUtf8(name));
        const QString target =
            g_out.filePath(QStringLiteral("art_") + QString::fromUtf8(name).section('.', 0, 0) +
                           QStringLiteral(".png"));
        if (image.isNull() || !image.save(target)) {
            std::fprintf(stderr, "kvzip_gallery: cannot convert %s\n", name);
            ++g_failures;
        }
    }
    QImage sheet(16 + 24 + 32 + 48 + 64 + 128 + 256 + 8 * 8, 272, QImage::Format_ARGB32);
    sheet.fill(QColor(0xe8, 0xee, 0xf4));
    QPainter painter(&sheet);
    int x = 8;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        painter.drawImage(x, 8,
                          QImage(g_data + QStringLiteral("/icons/kelvane-zip-%1.png").arg(size)));
        x += size + 8;
    }
    painter.end();
    sheet.save(g_out.filePath(QStringLiteral("art_icons.png")));
    res::LoadImage(res::IDB_SAVEMSG, QSize(96, 96))
        .save(g_out.filePath(QStringLiteral("art_prompt.png")));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr,
                     "usage: kvzip_gallery <data folder> <output folder> [archive of 100000 "
                     "entries]\n");
        return 2;
    }
    g_data = QString::fromLocal8Bit(argv[1]);
    g_out = QDir(QString::fromLocal8Bit(argv[2]));
    if (!g_out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "kvzip_gallery: cannot create %s\n", argv[2]);
        return 1;
    }
    ProgressBars();
    Labels();
    LinkButtons();
    Dialogs();
    g_appTitle = L"Kelvane for Zip";
    g_appFolder = g_data.toStdWString();
    AnalysisDialogs();
    PreviewDialogs(argc == 4 ? QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath()
                             : QString());
    Splash();
    AboutBox();
    MainDialog();
    SavingDialogs();
    Artwork();
    std::printf("kvzip_gallery: pictures in %s\n", qPrintable(g_out.absolutePath()));
    return g_failures == 0 ? 0 : 1;
}
