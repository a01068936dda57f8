// A naive recovery scan for comparison: a byte walk over an in-memory file
// with a positioned four-byte test at every offset, no buffering, no index.
#pragma once

#include "engine/file_header.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvtest {

struct ReferenceResult {
    std::vector<CFileHeader> entries; // names with native separators
    int entryCount = 0;
    int descriptorSeen = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
};

ReferenceResult ReferenceScan(const std::string& file, int mode);

// Field by field; an empty string when they agree, else what differs.
std::string DescribeDifference(const CFileHeader& expected, const CFileHeader& actual);

} // namespace kvtest
