#include "engine/output_paths.h"

#include "platform/text.h"

#include <cerrno>
#include <cwctype>
#include <sys/stat.h>

namespace {
constexpr wchar_t kSep = platform::kNativeSeparator;
}

std::optional<std::wstring> GetEntryRelativePath(const std::wstring& name) {
    std::wstring rest = name;
    // The file system would cut the path at a NUL and write under a shorter,
    // possibly another entry's, name.
    for (wchar_t& c : rest) {
        if (c == L'\0')
            c = L'?';
    }
    // A drive such as C: is dropped.
    if (rest.size() >= 2 && rest[1] == L':' && std::iswalpha(rest[0]))
        rest.erase(0, 2);
    std::wstring result;
    std::size_t start = 0;
    bool tooLong = false;
    while (start <= rest.size()) {
        std::size_t end = rest.find(kSep, start);
        if (end == std::wstring::npos)
            end = rest.size();
        const std::wstring part = rest.substr(start, end - start);
        // Empty, "." and ".." parts would lead elsewhere or nowhere.
        if (!part.empty() && part != L"." && part != L"..") {
            if (platform::EncodeLocal(part).size() > kMaxPathComponentBytes)
                tooLong = true;
            if (!result.empty())
                result += kSep;
            result += part;
        }
        start = end + 1;
    }
    // A name ending in a separator names a folder; keep it so, so that no
    // file is made in its place.
    if (!rest.empty() && rest.back() == kSep && !result.empty())
        result += kSep;
    if (tooLong)
        return std::nullopt;
    return result;
}

std::wstring GetFolderPart(const std::wstring& path) {
    const std::size_t last = path.rfind(kSep);
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

PathKind GetPathKind(const std::wstring& path) {
    struct stat st {};
    if (::stat(platform::EncodeLocal(path).c_str(), &st) != 0)
        return PathKind::nothing;
    return S_ISDIR(st.st_mode) ? PathKind::folder : PathKind::file;
}

bool CreateFolderPath(std::wstring path) {
    while (!path.empty() && path.back() == kSep)
        path.pop_back();
    if (GetFolderPart(path) == path || GetPathKind(path) == PathKind::folder)
        return true;
    if (!CreateFolderPath(GetFolderPart(path)))
        return false;
    if (::mkdir(platform::EncodeLocal(path).c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && GetPathKind(path) == PathKind::folder;
}
