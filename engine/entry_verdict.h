// What a user can trust of an entry once it was read: the verdict that
// extraction gives every entry, whatever it wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CFileHeader;

enum class Verdict {
    verified, // whole, and the CRC-32 of its bytes matches the stored one
    damaged,  // whole length, but the CRC-32 differs
    partial,  // cut short or the data turned bad; the bytes decoded are kept
    notSaved, // nothing written; the report's reason says why
    folder,   // a folder entry: the folder was made
};

// "verified", "damaged", "partial", "not saved", "folder".
const char* VerdictName(Verdict verdict);

struct ExtractReport;
struct ResyncOutcome;

// "1,204,113": digits in groups of three.
std::string GroupedDigits(std::uint64_t value);

// What decoding past damage came to, for a partial verdict: "1,204,113 of
// 1,310,720 bytes recovered; 84,992 bytes lost at 512,000–596,991; 21,615
// bytes unknown after it". `size` is the entry's, when known.
std::string ResyncReason(const ResyncOutcome& outcome, std::optional<std::uint64_t> size);

// The verdict with its reason: "verified", "partial: the archive ends
// inside its data", "not saved: wrong password".
std::string VerdictText(const ExtractReport& report);

// Why an entry's data cannot be decoded here ("encrypted, and no password
// was given", "method not supported: reduced (3)", "this build has no
// bzip2 decoder"); empty when it can. Any method this build decodes is
// decoded plain or encrypted with the traditional cipher or AES when a
// password is at hand.
std::string UndecodableReason(const CFileHeader& entry, bool havePassword);

// The entry's data is encrypted (flag bit 0, or the AES method).
bool IsEncrypted(const CFileHeader& entry);

// How many entries got each verdict. Debris is counted apart: it is what a
// false header gives, never a file the archive held, so it is neither
// listed nor counted among the files.
struct VerdictTally {
    std::uint64_t verified = 0;
    std::uint64_t damaged = 0;
    std::uint64_t partial = 0;
    std::uint64_t notSaved = 0;
    std::uint64_t folders = 0;
    std::uint64_t debris = 0;
    // Entries not saved because the user keeps the files of their names;
    // counted apart, as what the user asked for.
    std::uint64_t kept = 0;
    // Entries the central directory lists, and those of them that came back
    // verified (or as the folder made).
    std::uint64_t listed = 0;
    std::uint64_t listedBack = 0;

    void Add(const ExtractReport& report);
    void Add(const VerdictTally& other);
    // verified + damaged + partial + not saved.
    std::uint64_t Files() const { return verified + damaged + partial + notSaved; }
    std::uint64_t Saved() const { return verified + damaged + partial; }
    bool AllVerified() const { return damaged + partial + notSaved == 0 && listedBack == listed; }
};
