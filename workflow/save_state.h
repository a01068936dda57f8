// Process-wide state of the saving pass.
#pragma once

#include "platform/worker_thread.h"

#include <string>

// The worker of the running pass; Pause, Stop, Esc and close act on it.
extern platform::WorkerThread g_saveThread;
// 1 while the user has paused the pass.
extern int g_savePaused;
// The source archive being saved.
extern std::wstring g_saveSourcePath;
// Its output folder: <destination>/Repair/<base name>.
extern std::wstring g_saveOutputFolder;
// Save All: how many source files were handled so far.
extern int g_saveFileIndex;
// 1 once the current file's probe found a local header.
extern int g_saveSignatureFound;
// Reports that lagged behind the bar since it last crept a step: every
// 4,000 of them move it one step, so that it keeps moving while the scan
// re-reads ground it has covered.
extern int g_saveProgressCreepCount;
// 1: symbolic links are saved as files holding their target's path.
extern int g_keepLinksAsFiles;

// The base name of an archive: its file name cut before the last '.', the
// whole name when it has none; "_" before one that is empty or only dots.
std::wstring ArchiveBaseName(const std::wstring& sourcePath);
// <destination>/Repair/<base name>.
std::wstring OutputFolderFor(const std::wstring& destination, const std::wstring& sourcePath);
