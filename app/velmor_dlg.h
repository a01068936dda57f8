// CVelmorDlg: the main window and step 1 of the wizard. The user collects the
// archives to repair, picks the repair mode and Skip Preview and presses
// Repair, which records the choice, hides this window and runs the preview.
#pragma once

#include "app/single_instance.h"
#include "platform/qt/dialog_qt.h"
#include "workflow/gui/main_dialog_commands.h"

#include <QIcon>
#include <QStringList>
#include <QUrl>
#include <functional>

class CVelmorDlgAutoProxy;
class QCheckBox;
class QPushButton;
class QRadioButton;
class QTreeWidget;

class CVelmorDlg : public platform::CDialog, public IMainDialogCommands {
    Q_OBJECT

public:
    // Shows the start-up splash while it is made.
    explicit CVelmorDlg(QWidget* parent = nullptr);
    ~CVelmorDlg() override;

    // Paths are the program's wide paths in QStrings (platform::PathToQString),
    // so that a file name's bytes that are not text stay as they are.
    //
    // Adds archives as Browse does: missing files and archives already
    // listed (under any name that reaches the same file) are not added, and
    // the user is told which and why (once the event loop runs again);
    // empty names are passed over.
    void AddSourceFiles(const QStringList& paths);
    // Archives from a later start of the program: listed while step 1
    // shows, refused while a repair runs; the window comes to the front.
    CSingleInstance::Answer OnSecondStart(const QStringList& archives);
    QStringList SourcePaths() const;

    void OnBrowse();
    void OnClearSelected();
    void OnClearAll();
    void OnRepair();
    void OnQuickRepairRadio();
    void OnAdvanceRepairRadio();
    void OnQuickRepairMenu();
    void OnAdvanceRepairMenu();
    void OnSkipPreviewCheck();
    void OnPastDamageCheck();
    void OnLinksAsFilesCheck();
    void OnSkipPreviewMenu();
    void OnExitMenu();
    void OnAbout() override;
    void OnViewLog() override;
    void OnHelpContents() override;
    void OnClearLog() override;

    // Where Browse gets its files (the file-open dialog; tests script it).
    using FileChooser = std::function<QList<QUrl>(QWidget* owner)>;
    static FileChooser SetFileChooser(FileChooser chooser);
    // What Repair runs while this window is hidden: the preview.
    using PreviewRunner = std::function<void(CVelmorDlg& owner)>;
    static PreviewRunner SetPreviewRunner(PreviewRunner runner);

    // Archives given on the command line; initialisation lists them.
    QStringList m_startupFiles;
    bool m_backgroundLoaded = false; // "Kelvane-Zip.bmp" from the installation folder
    CVelmorDlgAutoProxy* m_pAutoProxy = nullptr;
    QIcon m_hIcon;
    QTreeWidget* m_sourceList = nullptr;
    QCheckBox* m_skipPreviewCheck = nullptr;
    QCheckBox* m_pastDamageCheck = nullptr;
    QCheckBox* m_linksAsFilesCheck = nullptr;
    QPushButton* m_repairButton = nullptr;
    QPushButton* m_clearAllButton = nullptr;
    QPushButton* m_clearSelectedButton = nullptr;
    QRadioButton* m_quickRepairRadio = nullptr;
    QRadioButton* m_advanceRepairRadio = nullptr;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;
    bool OnCommand(int id) override;
    void OnSysCommand(int id) override;
    bool PreTranslateMessage(QObject* target, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void AppendRow(const QString& path);
    void EnableClearButtons(bool enabled);
    void SetRepairMode(int mode);
    bool Ask(const wchar_t* text, bool withOwner = true);
    void Notify(const std::wstring& text);

    CSingleInstance m_instance;
    // True while Repair runs the later steps.
    bool m_repairing = false;
};

// The main dialog; the preview forwards About, View Log, help and Clear Log to it.
extern CVelmorDlg* g_mainDlg;
