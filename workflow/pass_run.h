// The skeleton both passes share: the run that the engine's scan reports
// reach through a global pointer, the flag that tells the engine which pass
// is inside it, how a scan report moves the bar, and the steps from a source
// path to a scanned archive. Where the passes differ, the difference is a
// parameter, explained here once.
#pragma once

#include "engine/scan_state.h"
#include "workflow/bar_position.h"
#include "workflow/pass_events.h"

#include <cstdint>
#include <string>

class CFile;
class CZipArchive;
namespace platform {
class WorkerGate;
}

// What every pass's run holds. The analysis's worker returns 0 and the
// saving pass's 1 (0 before it reached its end); nothing reads either value.
struct PassRun {
    explicit PassRun(platform::WorkerGate& workerGate) : gate(workerGate) {}
    virtual ~PassRun() = default;
    PassRun(const PassRun&) = delete;
    PassRun& operator=(const PassRun&) = delete;

    // The probe or the scan stands at `percent` of the file: the pass's bars
    // show it within the scan's share.
    virtual void Scanned(int percent) = 0;

    platform::WorkerGate& gate;
    // The scan's own progress through the file; it never moves back.
    int scanPercent = 0;
    // The source at hand, as its SourceDone event tells it.
    SourceTotals source;
};

// Points `global` at `run` for the scope's lifetime: the engine's reports
// arrive through a plain function, so the pass is found through it.
template <class Run> class RunScope {
public:
    RunScope(Run*& global, Run& run) : m_global(global) { m_global = &run; }
    ~RunScope() { m_global = nullptr; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    Run*& m_global;
};

// A pass's routine for the scan's reports.
using ScanReport = unsigned (*)(std::uint64_t position, std::uint64_t total);

// While the scope lasts, `archive`'s scan reports to `report` and `flag` is
// 1: exactly while the worker is inside the engine, also when a stop
// unwinds it from there.
class ScanActiveScope : public CScanObserver {
public:
    ScanActiveScope(CZipArchive& archive, int& flag, ScanReport report);
    ~ScanActiveScope() override;

    void ScanProgress(std::uint64_t position, std::uint64_t total) override;

private:
    CZipArchive& m_archive;
    int& m_flag;
    ScanReport m_report;
};

// How a pass's bar follows the scan's reports: how many lagging reports
// move it one step (so that it keeps moving while the scan re-reads ground
// it has covered, yet never runs far ahead of it), and where the reports
// stop, short of the 100 that only the finished pass shows.
struct ScanPace {
    int creepEvery;
    int ceiling;
};

// The scan stands at `position` of `total`: the run's bar moves, with a
// checkpoint on either side so that a pause or a stop takes effect inside
// the scan. `run` is null when no pass is running.
void FollowScanReport(PassRun* run, std::uint64_t position, std::uint64_t total, int& creepCount,
                      ScanPace pace);

// How probing a source came out.
enum class ProbeOutcome {
    notOpened,  // the file would not open
    unreadable, // its length could not be read
    tooShort,   // kShortestProbedFile bytes or fewer: passed over
    noHeader,   // no local header signature in it
    found,      // a local header signature at `ProbedSource::header`
};

struct ProbedSource {
    ProbeOutcome outcome = ProbeOutcome::notOpened;
    // Known from tooShort on.
    std::uint64_t length = 0;
    std::uint64_t header = 0;
};

// Opens `path` into `file` for reading only (the user's file is never
// changed), measures it and probes it for a local header, then closes it.
// `shareMode` is the pass's own: the analysis keeps other readers out while
// it probes (and tells the user when the file is held elsewhere), the saving
// pass shares the file. `signatureFound` is the pass's flag that its dialog's
// Stop reads: 0 while the probe runs, 1 once a signature is found. What
// keeps the source from holding ZIP data goes to run.source.
ProbedSource ProbeSource(PassRun& run, CFile& file, const std::wstring& path, unsigned shareMode,
                         int& signatureFound);

// Runs the engine's recovery scan of `path` into `archive`, with `scanFlag`
// up and its reports going to `report`, and sets g_entryCount. An error ends
// the scan but not the pass: the entries found before it are kept, and its
// reason goes to run.source.error. Returns false when the file itself could
// not be read and nothing was found (run.source is then unreadable).
bool ScanSource(PassRun& run, CZipArchive& archive, const std::wstring& path, int& scanFlag,
                ScanReport report);
