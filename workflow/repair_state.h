// The process-wide repair state that the dialogs and the workers share. Each
// variable is reset by the step that next needs it. The scan's own state
// belongs to each archive; the scan mode, g_repairMode, is the engine's
// setting (engine/scan_state.h).
#pragma once

#include "engine/file_header.h"
#include "engine/zip_archive.h"
#include "identity/app_identity.h"
#include "platform/file.h"
#include "platform/worker_thread.h"

#include <cstddef>
#include <cstdint>
#include <string>

// One source archive in the list built by "Repair".
struct SourceFileNode {
    std::wstring path;
    SourceFileNode* next = nullptr;
};

// --- Source selection (written by the main dialog on "Repair") ---
// First node of the source archives, in the order of the main dialog's list.
extern SourceFileNode* g_sourceFiles;
// Scratch cursor for appending, walking and freeing; meaningless in between.
extern SourceFileNode* g_sourceCursor;
// Number of source files, the main list's row count at "Repair".
extern int g_sourceFileCount;
// 1 with "Skip Preview": the preview runs no analysis and offers only Save All.
extern int g_skipPreview;
// 1 (the default): deflated data is decoded on past damage in it; 0 keeps a
// damaged file only up to the damage.
extern int g_pastDamage;

// --- Scan (both passes) ---
// Entries in the table of the archive that was opened last: the pass that
// opened it lists or saves that many, and sets it to 0 after closing.
extern int g_entryCount;
// 1 exactly while the analysis worker is inside OpenArchive: the scan's
// reports then move the analysis bars.
extern int g_analysisScanActive;
// The same for the saving worker.
extern int g_savingScanActive;

// Appends a copy of `path` at the tail of g_sourceFiles.
void AppendSourceFile(const std::wstring& path);
// Frees g_sourceFiles from the head; g_sourceFileCount is left as it is.
void FreeSourceFiles();
// Path of source file `index` (0-based); empty when there is no such file.
std::wstring GetSourcePath(int index);

// --- Threads ---
// The analysis worker of the open analysis dialog, with its gate.
extern platform::WorkerThread g_analysisThread;

// --- Analysis pass ---
// Path of the file under analysis.
extern std::wstring g_currentSourcePath;
// The source file while the worker probes it for the first local header.
extern CFile g_scanFile;
// Current offset of the signature probe.
extern std::uint64_t g_scanOffset;
// Length of the probed file; Stop sets it to 0.
extern std::uint64_t g_scanLength;
// 1 once 50 4B 03 04 was found in the current file; reset when a scan starts.
extern int g_signatureFound;
// 1 while the user has paused the analysis; 0 whenever an analysis dialog opens.
extern int g_analysisPaused;
// Set by the worker when it finishes; the analysis dialog's paint closes it.
extern int g_closeAnalysisDlg;
// Set with g_closeAnalysisDlg; the preview clears both and reaps the worker.
extern int g_reapAnalysisThread;
// 1 at the end of the preview's initialisation; its first paint runs the analysis.
extern int g_runAnalysisOnPaint;
// Set when the preview opens with Skip Preview; its first paint shows the notice.
extern int g_pendingSaveAllNotice;
// Counter of ReportAnalysisProgress.
extern int g_progressCreepCount;
// The archive object of the analysis pass, one source file at a time.
extern CZipArchive g_analysisArchive;
// Receives each entry's record while the preview's list is filled.
extern CFileHeader g_previewHeader;

// --- Hand-over to the saving pass (written by the preview) ---
// 1 when Save Current File started the pass; the saving pass resets it.
extern int g_saveCurrentOnly;
// Destination of Save Current File as the folder browser gave it (<= 259 chars).
extern std::wstring g_saveCurrentFolder;
// Destination of Save All, in the same form (<= 259 chars).
extern std::wstring g_saveAllFolder;
// The archive object of the saving pass.
extern CZipArchive g_savingArchive;
// The password the user gave for all archives of this run; wiped when a
// new analysis starts.
extern Password g_runPassword;

// Makes the registry value "NameEncoding" (an iconv name such as CP866) the
// code page of entry names that are neither marked as UTF-8 nor valid UTF-8.
// A missing or unknown value leaves CP437.
void ReadNameEncodingSetting();
