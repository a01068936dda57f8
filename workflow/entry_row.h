// One row of the preview's entry list: the seven texts and the values they
// were made from.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CFileHeader;

enum EntryColumn {
    columnFileName = 0,
    columnUncompressedSize,
    columnCompressedSize,
    columnRatio,
    columnModifiedTime,
    columnCrc,
    columnMethod,
    entryColumnCount
};

struct EntryRow {
    std::array<std::wstring, entryColumnCount> texts;
    std::wstring name;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint32_t ratio = 0;
    std::int64_t modifiedTime = 0;
    std::uint32_t crc = 0;
    // Encrypted: the preview marks it; its password is asked before saving.
    bool encrypted = false;
};

// The row of an entry as FetchEntryInfo handed it out.
EntryRow MakeEntryRow(const CFileHeader& header);
