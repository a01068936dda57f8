// The analysis pass of one source file: find out whether it still holds ZIP
// entries, open it with the recovery scan and list every entry found.
#pragma once

#include <chrono>
#include <cstdint>

class AnalysisHost;
namespace platform {
class WorkerGate;
}

// The worker thread's body for file number host.CurrentFileNumber(). Halts
// only at its safe points in `gate`; a stop unwinds it with
// platform::WorkerStopped. Returns 0.
int AnalysisWorker(AnalysisHost& host, platform::WorkerGate& gate);

// The worker hands its rows to the host in batches of at most this much
// listing time (50 ms); 0 hands over every row on its own (tests that act
// between two rows).
extern std::chrono::milliseconds g_entryRowBatchTime;

// The engine's scan reports here while g_analysisScanActive is 1, and the
// worker once at its end. The scan's progress never moves back; while the
// reports lag behind it, every 2000th of them advances it by one. The bar
// shows it within the scan's share; the listing fills the rest. Returns 0.
unsigned ReportAnalysisProgress(std::uint64_t position, std::uint64_t total);
