#include "engine/parallel_extraction.h"

#include "engine/output_paths.h"
#include "platform/text.h"

#include <string_view>
#include <unordered_set>

bool OutputsAreIndependent(const CZipArchive& archive) {
    constexpr wchar_t kSep = platform::kNativeSeparator;
    // Hashes stand for the paths: two paths that merely share a hash are
    // taken for one, which can only send the archive the one-by-one way.
    std::unordered_set<std::size_t> files;
    std::unordered_set<std::size_t> folderEntries;
    std::unordered_set<std::size_t> onTheWay; // folders above any output
    const std::hash<std::wstring_view> hash;
    CFileHeader header;
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i) {
        archive.FetchEntryInfo(header, i);
        const std::optional<std::wstring> relative = GetEntryRelativePath(header.name);
        if (!relative)
            continue; // refused: nothing is made for it
        std::wstring_view path = *relative;
        const bool folder = header.IsFolder();
        while (!path.empty() && path.back() == kSep)
            path.remove_suffix(1);
        const std::size_t key = hash(path);
        // A folder entry may lie on another's way: either makes the folder.
        if (files.contains(key) || folderEntries.contains(key) ||
            (!folder && onTheWay.contains(key)))
            return false;
        (folder ? folderEntries : files).insert(key);
        for (std::size_t at = path.find(kSep); at != std::wstring_view::npos;
             at = path.find(kSep, at + 1)) {
            const std::size_t above = hash(path.substr(0, at));
            if (files.contains(above))
                return false;
            onTheWay.insert(above);
        }
    }
    return true;
}

unsigned ExtractionJobs(unsigned wanted) {
    if (wanted != 0)
        return wanted;
    return std::max(1u, std::thread::hardware_concurrency());
}
