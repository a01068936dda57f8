// The analysis worker's host on the desktop: each call runs on the GUI
// thread and returns once the window has changed.
#pragma once

#include "workflow/analysis_host.h"

class CProgressBar;
class IAnalysisList;

class AnalysisGuiHost : public AnalysisHost {
public:
    AnalysisGuiHost(CProgressBar& dialog, IAnalysisList& list) : m_dialog(dialog), m_list(list) {}

    int CurrentFileNumber() override;
    int EntryRowCount() override;
    void DeleteAllEntryRows() override;
    // One blocking call per batch.
    void AppendEntryRows(std::vector<EntryRow> rows) override;
    void SetListedCount(const std::wstring& text) override;
    void SetBarPosition(int position) override;
    // Invalidates the dialog: its next paint closes it.
    void AnalysisFinished() override;

private:
    CProgressBar& m_dialog;
    IAnalysisList& m_list;
};
