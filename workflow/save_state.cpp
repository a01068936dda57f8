#include "workflow/save_state.h"

#include "platform/text.h"
#include "workflow/overwrite_choice.h"

platform::WorkerThread g_saveThread;
int g_savePaused = 0;
std::wstring g_saveSourcePath;
std::wstring g_saveOutputFolder;
int g_saveFileIndex = 0;
int g_saveSignatureFound = 0;
int g_saveProgressCreepCount = 0;
int g_keepLinksAsFiles = 0;
int g_overwriteChoice = OverwriteNotAsked;

std::wstring ArchiveBaseName(const std::wstring& sourcePath) {
    const std::size_t slash = sourcePath.rfind(platform::kNativeSeparator);
    const std::wstring name =
        slash == std::wstring::npos ? sourcePath : sourcePath.substr(slash + 1);
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(0, dot);
}

std::wstring OutputFolderFor(const std::wstring& destination, const std::wstring& sourcePath) {
    const wchar_t sep = platform::kNativeSeparator;
    return destination + sep + L"Repair" + sep + ArchiveBaseName(sourcePath);
}
