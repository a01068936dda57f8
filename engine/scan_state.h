// What the recovery scan keeps while it walks an archive.
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

// The walk's own state: each archive holds one, and every scan starts it
// afresh, so that no scan depends on the one before.
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

// 0 runs the quick scan, 1 the advanced scan: a setting the caller chooses
// before opening an archive.
extern int g_repairMode;

// Told how a scan goes; the caller hands it to the archive it opens.
class CScanObserver {
public:
    CScanObserver() = default;
    CScanObserver(const CScanObserver&) = delete;
    CScanObserver& operator=(const CScanObserver&) = delete;
    virtual ~CScanObserver() = default;

    // The walk has gone through `position` of the file's `total` bytes. Due
    // every 100 positions a byte-by-byte walk would visit, so a pass may
    // report the same ground twice.
    virtual void ScanProgress(std::uint64_t position, std::uint64_t total) = 0;
};
