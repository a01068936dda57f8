// CPreview: step 2 of the wizard. It runs the analysis of one source file at
// a time into its entry list, steps through the source files, goes back to
// step 1, or starts step 3 after the user has chosen a destination.
#pragma once

#include "platform/qt/dialog_qt.h"
#include "workflow/analysis_list.h"

#include <string>

class CEntryListModel;
class CEntryListView;
class CTransparentStatic;
class QLabel;

class CPreview : public platform::CDialog, public IAnalysisList {
    Q_OBJECT

public:
    explicit CPreview(QWidget* parent = nullptr);
    // Leaves no dangling g_previewDlg behind for the saving dialog to read.
    ~CPreview() override;

    // Shared with the workers through g_previewDlg: the file shown (1-based,
    // 0 before one is chosen) and the list of its entries.
    int m_currentFileNumber = 0;
    CEntryListView* m_entryList = nullptr;
    CTransparentStatic* m_fileNumber = nullptr;
    CTransparentStatic* m_sourcePath = nullptr;
    CTransparentStatic* m_listedCount = nullptr;

    void OnBack();
    void OnBackFile();
    void OnNextFile();
    void OnSaveCurrentFile();
    void OnSaveAll();
    void OnExit();
    void UpdateFileButtons();

    // IAnalysisList, on the GUI thread.
    int CurrentFileNumber() const override { return m_currentFileNumber; }
    int EntryRowCount() const override;
    void DeleteAllEntryRows() override;
    void AppendEntryRows(std::vector<EntryRow> rows) override;
    void SetListedCount(const std::wstring& text) override;
    void ShowListNote(const std::wstring& text) override;

protected:
    bool OnInitDialog() override;
    // Enter does nothing: it must not end the preview behind the user's back.
    void OnOK() override {}
    void OnClose() override;
    bool OnCommand(int id) override;
    void OnSysCommand(int id) override;
    bool PreTranslateMessage(QObject* target, QEvent* event) override;
    void OnPaint(QPainter& painter) override;

    // Runs the analysis dialog modally for m_currentFileNumber.
    virtual void RunAnalysis();

private:
    void CreateColumns();
    void StepFile(int delta);
    void EnableSaveAndBack();
    void ReapAnalysisWorker();
    // Asks for the destination into `folder`; false when saving must not start.
    bool ChooseDestination(std::wstring& folder);
    // Where the folder browser starts.
    static QString DestinationStart();
    void RunSaving(bool hidePreview);
    void EnableButtons(std::initializer_list<int> ids, bool enabled);

    bool m_analysisOpen = false;
    // The rows of the file shown; the list control is made anew with the
    // dialog's controls, the rows stay here.
    CEntryListModel* m_entryModel = nullptr;
    // Says why the list is empty; made on first use, over the list.
    QLabel* m_listNote = nullptr;
};

// The open preview; workers reach its list and current file number through it.
extern CPreview* g_previewDlg;
