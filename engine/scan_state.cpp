#include "engine/scan_state.h"

int g_entryCount = 0;
int g_descriptorSeen = 0;
thread_local int g_truncationFlag = 0;

std::uint64_t g_resumeOffset = 0;
std::uint32_t g_lastNameLength = 0;
std::uint64_t g_lastCompressedSize = 0;
std::uint64_t g_headerOffset = 0;
std::deque<CentralRecord> g_centralNotes;
std::vector<std::uint64_t> g_localOffsets;
std::vector<std::uint64_t> g_centralOffsets;

int g_repairMode = 0;
int g_analysisScanActive = 0;
int g_savingScanActive = 0;

ScanProgressSink g_analysisProgressSink = nullptr;
ScanProgressSink g_savingProgressSink = nullptr;

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
