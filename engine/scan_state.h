// Process-wide state of the recovery scan, shared by every archive object.
// Plain integers: the workflow never runs two scans at once.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// What a central directory header says of its entry: a second opinion on
// the local header at its offset, and the whole entry where that is gone.
struct CentralRecord {
    std::uint64_t compressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint64_t localHeaderOffset = 0;
    std::wstring name;
    std::string storedName;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t modTime = 0;
    std::uint16_t modDate = 0;
    std::uint16_t extraLength = 0;
    // An entry of the table stands for it.
    bool paired = false;
};

// What a central header says of its entry that no local header holds.
struct CentralAttributes {
    std::string storedName;
    std::uint32_t externalAttributes = 0;
    std::uint16_t versionMadeBy = 0;
    // From its extra field; not yet held against the local DOS time.
    std::optional<std::int64_t> modified;
};

// Entries in the table after the last scan; the workflow resets it to 0.
extern int g_entryCount;
// Some look-back met a data descriptor. Only the analysis Stop clears it.
extern int g_descriptorSeen;
// The archive ended inside an entry's data.
// One per thread: readers of one archive may run side by side.
extern thread_local int g_truncationFlag;

// The walk's own state, which only the scan reads. The flags and sinks the
// workflow sets keep names of their own; ResetScanState clears both.
struct ScanState {
    // Position just past the last header a pass stepped over.
    std::uint64_t resumeOffset = 0;
    // Name length of the last header read; 0 when that name exceeded 500 bytes.
    std::uint32_t lastNameLength = 0;
    // Compressed size of the last local header read.
    std::uint64_t lastCompressedSize = 0;
    // What the step over the last header leaves to the walk: a local
    // header's extra field, a central header's extra field and comment.
    std::uint32_t lastTailLength = 0;
    // Position of the header being read.
    std::uint64_t headerOffset = 0;
    std::deque<CentralRecord> centralNotes;
    // Indexes of the central notes by local header offset, for the local
    // passes that come after the central one.
    std::vector<std::pair<std::uint64_t, std::size_t>> listedOffsets;
    std::size_t nextListed = 0;
    // By the local header offset each central header gives.
    std::unordered_multimap<std::uint64_t, CentralAttributes> centralAttributes;
    std::vector<std::uint64_t> localOffsets;
    std::vector<std::uint64_t> centralOffsets;
};
extern ScanState g_scanState;

// 0 runs the quick scan, 1 the advanced scan.
extern int g_repairMode;
// While one of these is 1 the scan reports (position, length) to its pass.
extern int g_analysisScanActive;
extern int g_savingScanActive;

// The routines that receive the reports; the workflow installs them. A scan
// whose flag is set but whose sink is missing reports nothing.
using ScanProgressSink = unsigned (*)(std::uint64_t position, std::uint64_t total);
extern ScanProgressSink g_analysisProgressSink;
extern ScanProgressSink g_savingProgressSink;

// Everything in this file back to how the program starts; g_truncationFlag
// only for the calling thread.
void ResetScanState();

// True when some pass wants reports; the scan skips all report work otherwise.
bool ScanReportsWanted();
// Delivers one report to every pass whose flag is set.
void ReportScanProgress(std::uint64_t position, std::uint64_t total);
