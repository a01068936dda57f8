// The analysis pass of one source file: find out whether it still holds ZIP
// entries, open it with the recovery scan and list every entry found.
#pragma once

#include <cstdint>

class AnalysisHost;
namespace platform {
class WorkerGate;
}

// The worker thread's body for file number host.CurrentFileNumber(). Halts
// only at its safe points in `gate`; a stop unwinds it with
// platform::WorkerStopped. Returns 0.
int AnalysisWorker(AnalysisHost& host, platform::WorkerGate& gate);

// The engine's scan reports here while g_analysisScanActive is 1, and the
// worker once at its end. The bar never moves back; while the reports lag
// behind it, every 2000th of them advances it by one. Returns 0.
unsigned ReportAnalysisProgress(std::uint64_t position, std::uint64_t total);
