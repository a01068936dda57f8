// What "Repair" writes before the analysis starts: the source list, the
// options, and the banner of step 2. The main dialog and the command line
// write the same lines.
#pragma once

#include <string>
#include <vector>

// Sets g_sourceFileCount, rebuilds g_sourceFiles from `paths` in order and
// logs the source list, the repair mode and the Skip Preview status.
void RecordRepairSelection(const std::vector<std::wstring>& paths);

// Logs the repair mode (0 Quick Repair, 1 Advance Repair) as chosen.
void LogRepairMode(int mode);

// Logs the banner of step 2 with the number of source files.
void LogAnalysisStart();
