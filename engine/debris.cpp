#include "engine/debris.h"

#include "engine/file_header.h"

#include <cwctype>

Debris FindDebris(const CFileHeader& entry) {
    const std::wstring& name = entry.name;
    if (name.empty())
        return Debris::noName;
    bool hasPart = false;
    // A drive such as C: is dropped from the output path: it is no part.
    const bool drive = name.size() >= 2 && name[1] == L':' && std::iswalpha(name[0]);
    std::size_t partStart = drive ? 2 : 0;
    for (std::size_t i = partStart; i <= name.size(); ++i) {
        const wchar_t c = i < name.size() ? name[i] : L'/';
        // Decoded names keep the bytes below 0x80 as they were stored.
        if (c < 0x20 || c == 0x7F)
            return Debris::controlCharacters;
        if (c != L'/' && c != L'\\')
            continue;
        const std::wstring_view part(name.data() + partStart, i - partStart);
        if (!part.empty() && part != L"." && part != L"..")
            hasPart = true;
        partStart = i + 1;
    }
    if (!hasPart)
        return Debris::noPathPart;
    if (!IsDefinedMethod(entry.method))
        return Debris::unknownMethod;
    return Debris::none;
}

bool NamesTheDestination(const std::wstring& name) {
    if (name.empty() || (name.back() != L'/' && name.back() != L'\\'))
        return false;
    bool dot = false;
    for (const wchar_t c : name) {
        if (c == L'.')
            dot = true;
        else if (c != L'/' && c != L'\\')
            return false;
    }
    // Only single dots between the separators: ".." would climb.
    return dot && name.find(L"..") == std::wstring::npos;
}

const char* DebrisReason(Debris kind) {
    switch (kind) {
    case Debris::noName:
        return "debris: no name";
    case Debris::controlCharacters:
        return "debris: control characters in the name";
    case Debris::noPathPart:
        return "debris: a name of only separators and dots";
    case Debris::unknownMethod:
        return "debris: a compression method that no ZIP writer uses";
    case Debris::none:
        break;
    }
    return "";
}
