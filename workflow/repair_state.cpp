#include "workflow/repair_state.h"

#include "engine/entry_name.h"
#include "log/activity_log.h"
#include "platform/text.h"

SourceFileNode* g_sourceFiles = nullptr;
SourceFileNode* g_sourceCursor = nullptr;
int g_sourceFileCount = 0;
int g_skipPreview = 0;
int g_pastDamage = 1;

int g_entryCount = 0;
int g_analysisScanActive = 0;
int g_savingScanActive = 0;

platform::WorkerThread g_analysisThread;

std::wstring g_currentSourcePath;
CFile g_scanFile;
std::uint64_t g_scanOffset = 0;
std::uint64_t g_scanLength = 0;
int g_signatureFound = 0;
int g_analysisPaused = 0;
int g_closeAnalysisDlg = 0;
int g_reapAnalysisThread = 0;
int g_runAnalysisOnPaint = 0;
int g_pendingSaveAllNotice = 0;
int g_progressCreepCount = 0;
CZipArchive g_analysisArchive;
CFileHeader g_previewHeader;

int g_saveCurrentOnly = 0;
std::wstring g_saveCurrentFolder;
std::wstring g_saveAllFolder;
CZipArchive g_savingArchive;
Password g_runPassword;

void AppendSourceFile(const std::wstring& path) {
    auto* node = new SourceFileNode{path, nullptr};
    if (g_sourceFiles == nullptr) {
        g_sourceFiles = node;
        return;
    }
    g_sourceCursor = g_sourceFiles;
    while (g_sourceCursor->next != nullptr)
        g_sourceCursor = g_sourceCursor->next;
    g_sourceCursor->next = node;
}

void FreeSourceFiles() {
    while (g_sourceFiles != nullptr) {
        g_sourceCursor = g_sourceFiles;
        g_sourceFiles = g_sourceCursor->next;
        delete g_sourceCursor;
    }
    g_sourceCursor = nullptr;
}

std::wstring GetSourcePath(int index) {
    // A cursor of its own: both the GUI thread and a worker ask for paths.
    int count = 0;
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next, ++count) {
        if (count == index)
            return node->path;
    }
    return {};
}

void ReadNameEncodingSetting() {
    const std::wstring value = ReadRegistryString(
        platform::RegistryKey::OpenClassesRoot(g_appRegistryKey), L"NameEncoding");
    if (value.empty() || !SetNameEncoding(platform::ToUtf8(value)))
        g_nameEncoding = kDefaultNameEncoding;
}
