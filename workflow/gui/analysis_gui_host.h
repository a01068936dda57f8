// The analysis worker's host on the desktop: it turns the pass's events into
// the preview's list, counter and note and the analysis dialog's bar. Each
// call runs on the GUI thread and returns once the window has changed.
#pragma once

#include "workflow/analysis_host.h"

class CProgressBar;
class IAnalysisList;

class AnalysisGuiHost : public AnalysisHost {
public:
    AnalysisGuiHost(CProgressBar& dialog, IAnalysisList& list) : m_dialog(dialog), m_list(list) {}

    int CurrentFileNumber() override;
    // Empties the list of the file shown before.
    void SourceStarted(const SourceStart& source) override;
    void EntriesListed(std::vector<EntryRow> rows) override;
    void Progress(const PassProgress& progress) override;
    // The counter, 0 too, and why the list stays empty.
    void SourceDone(const SourceTotals& totals) override;
    // Invalidates the dialog: its next paint closes it.
    void PassDone(const PassTotals& totals) override;

private:
    CProgressBar& m_dialog;
    IAnalysisList& m_list;
};
