// What the analysis and the saving pass tell the front end around them, as
// events in the order they happen: a source starts, its entries are done
// one by one while progress moves, the source is done with its totals, the
// pass is done with the totals of all its sources. The desktop turns them
// into labels, lists and bars, the command line into its output; the
// passes count, and every front end shows the same numbers.
#pragma once

#include "engine/entry_verdict.h"

#include <string>
#include <vector>

// Why a source yielded nothing.
enum class SourceProblem {
    none,
    missing,    // gone since it was chosen
    unreadable, // could not be opened or read; `error` says why
    noZipData,  // not one local header in it (or too short to hold one)
    noEntries,  // headers, but not one entry that could be read
    folderKept, // saving: its output folder exists and the user kept it
};

// "file missing", "no ZIP data found", ...; empty for none.
std::wstring SourceProblemText(SourceProblem problem);

struct SourceStart {
    int number = 1; // 1-based
    int count = 1;  // sources in the pass
    std::wstring path;
    // Saving: <destination>/Repair/<archive name>.
    std::wstring outputFolder;
};

// Bar positions, 0 to 100: within the current source and over the pass.
struct PassProgress {
    int current = 0;
    int overall = 0;
};

struct SourceTotals {
    SourceStart source;
    SourceProblem problem = SourceProblem::none;
    // What cut the reading short, or why the source could not be read.
    std::wstring error;
    // Entries found that are not debris: listed by the analysis, tried by
    // the saving pass, whose verdicts are counted in `verdicts`.
    std::uint64_t found = 0;
    VerdictTally verdicts;
    // Saving: entries whose file the destination refused (they are counted
    // among the verdicts too), by cause.
    std::uint64_t destinationFull = 0;
    std::uint64_t destinationUnwritable = 0;
    // Saving: the user gave no password for its encrypted entries.
    bool passwordSkipped = false;

    // Gone, or could not be opened or read.
    bool Unreadable() const {
        return problem == SourceProblem::missing || problem == SourceProblem::unreadable;
    }
};

struct PassTotals {
    std::vector<SourceTotals> sources;
    VerdictTally verdicts;
    // Saving: <destination>/Repair.
    std::wstring repairFolder;

    // Counts a source that is done with.
    void Add(const SourceTotals& source);
    // Every source yielded its entries and every file among them is
    // verified.
    bool Clean() const;
};

class PassEvents {
public:
    virtual ~PassEvents() = default;

    virtual void SourceStarted(const SourceStart& source) = 0;
    // Called when a bar moves.
    virtual void Progress(const PassProgress& progress) = 0;
    virtual void SourceDone(const SourceTotals& totals) = 0;
    // The pass ran to its end (a stop ends it without this).
    virtual void PassDone(const PassTotals& totals) = 0;
};
