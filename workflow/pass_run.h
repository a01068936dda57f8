// What the analysis and the saving pass share: the run that the engine's
// scan reports reach through a global pointer, the flag that tells the
// engine which pass is inside it, and how a scan report moves the bar.
#pragma once

#include "workflow/bar_position.h"

#include <cstdint>

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

// `flag` is 1 exactly while the worker is inside the engine, also when a
// stop unwinds it from there.
class ScanActiveScope {
public:
    explicit ScanActiveScope(int& flag) : m_flag(flag) { m_flag = 1; }
    ~ScanActiveScope() { m_flag = 0; }
    ScanActiveScope(const ScanActiveScope&) = delete;
    ScanActiveScope& operator=(const ScanActiveScope&) = delete;

private:
    int& m_flag;
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
template <class Run>
void FollowScanReport(Run* run, std::uint64_t position, std::uint64_t total, int& creepCount,
                      ScanPace pace) {
    if (run == nullptr)
        return;
    run->gate.Checkpoint();
    int value =
        LaggingReportPosition(position, total, run->scanPercent, creepCount, pace.creepEvery);
    if (value >= 100)
        value = pace.ceiling;
    run->Scanned(value);
    run->gate.Checkpoint();
}
