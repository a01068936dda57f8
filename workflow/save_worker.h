// The saving pass: extracts the entries of every source archive, or of the
// preview's current one, into <destination>/Repair/<archive name>/.
#pragma once

#include <cstdint>

class SaveHost;
namespace platform {
class WorkerGate;
}

// The worker thread's body. Halts only at its safe points in `gate`; a stop
// unwinds it with platform::WorkerStopped. Returns 1 when the pass ran to
// its end.
unsigned SaveWorker(SaveHost& host, platform::WorkerGate& gate);

// The engine's scan reports here while g_savingScanActive is 1. The scan's
// progress never moves back; while the reports lag behind it, every 4000th
// of them advances it by one. The bars show it within the scan's share; the
// entries fill the rest. Returns 0.
unsigned ReportSaveProgress(std::uint64_t position, std::uint64_t length);
