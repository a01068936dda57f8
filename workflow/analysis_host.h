// What the analysis worker needs from the windows around it: the preview's
// entry list and counter, the analysis dialog's bar, and the signal that it
// has finished. The desktop forwards each call to its GUI thread; the
// command line and the tests implement it directly.
#pragma once

#include "workflow/entry_row.h"

#include <string>
#include <vector>

class AnalysisHost {
public:
    virtual ~AnalysisHost() = default;

    // The preview's current file (1-based).
    virtual int CurrentFileNumber() = 0;
    virtual int EntryRowCount() = 0;
    virtual void DeleteAllEntryRows() = 0;
    // Appends `rows` to the entry list in their order. The worker hands its
    // rows over in batches, so that listing costs the window the same at the
    // last row as at the first.
    virtual void AppendEntryRows(std::vector<EntryRow> rows) = 0;
    // The preview's counter of listed entries (control 1043), after each batch.
    virtual void SetListedCount(const std::wstring& text) = 0;
    // Moves the analysis dialog's bar; called only when the position changes.
    virtual void SetBarPosition(int position) = 0;
    // The worker has finished, whichever way: the dialog closes at its next paint.
    virtual void AnalysisFinished() = 0;

    // What the dialogs do not show but a report may: the archive could not be
    // opened or read whole (`reason`).
    virtual void ArchiveError(const std::wstring& /*reason*/) {}
};
