// The one test of whether a found entry is debris: what a false or broken
// header looks like, never a name that only looks odd. The preview lists,
// and saving writes, exactly the entries that are not debris.
#pragma once

#include <string>

class CFileHeader;

enum class Debris {
    none,
    // No name: the header's name field is empty.
    noName,
    // Control bytes: a header read out of other data, or a name that ran
    // into the next record.
    controlCharacters,
    // Nothing but separators, "." and "..": no file or folder to make.
    noPathPart,
    // A method number the ZIP format does not define (0-20 and 93-99 are
    // all there are): the random fields of a signature met inside data.
    unknownMethod,
};

Debris FindDebris(const CFileHeader& entry);

// The ZIP format defines methods 0-20 and 93-99.
inline bool IsDefinedMethod(unsigned method) {
    return method <= 20 || (method >= 93 && method <= 99);
}

inline bool IsDebris(const CFileHeader& entry) {
    return FindDebris(entry) != Debris::none;
}

// "./", ".\\" and the like: a folder entry that names the destination
// itself (some writers list it first). Debris, as there is nothing to make,
// yet nothing of the archive is lost with it.
bool NamesTheDestination(const std::wstring& name);

// Why the entry is debris, for reports: "no name", ...; "" for none.
const char* DebrisReason(Debris kind);
