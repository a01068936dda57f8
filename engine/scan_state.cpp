#include "engine/scan_state.h"

int g_entryCount = 0;
int g_descriptorSeen = 0;
thread_local int g_truncationFlag = 0;

ScanState g_scanState;

int g_repairMode = 0;
int g_analysisScanActive = 0;
int g_savingScanActive = 0;

ScanProgressSink g_analysisProgressSink = nullptr;
ScanProgressSink g_savingProgressSink = nullptr;

void ResetScanState() {
    g_entryCount = 0;
    g_descriptorSeen = 0;
    g_truncationFlag = 0;
    g_scanState = ScanState();
    g_repairMode = 0;
    g_analysisScanActive = 0;
    g_savingScanActive = 0;
    g_analysisProgressSink = nullptr;
    g_savingProgressSink = nullptr;
}

bool ScanReportsWanted() {
    return (g_analysisScanActive == 1 && g_analysisProgressSink != nullptr) ||
           (g_savingScanActive == 1 && g_savingProgressSink != nullptr);
}

void ReportScanProgress(std::uint64_t position, std::uint64_t total) {
    if (g_analysisScanActive == 1 && g_analysisProgressSink != nullptr)
        g_analysisProgressSink(position, total);
    if (g_savingScanActive == 1 && g_savingProgressSink != nullptr)
        g_savingProgressSink(position, total);
}
