// The front end of the analysis pass: the events of the pass (the source
// started, its rows, the bar, the source done with the number listed, the
// pass done) and the one thing the pass asks, which file to analyse. The
// desktop adapter turns the events into the preview's list and counter and
// the analysis dialog's bar; the command line and the tests take them as
// they come.
#pragma once

#include "workflow/entry_row.h"
#include "workflow/pass_events.h"

#include <vector>

class AnalysisHost : public PassEvents {
public:
    // The preview's current file (1-based).
    virtual int CurrentFileNumber() = 0;
    // Entries listed, in their order, after those listed before.
    virtual void EntriesListed(std::vector<EntryRow> rows) = 0;
};
