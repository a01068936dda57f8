// The entries a scan found, kept compact: a fixed record of numbers per
// entry and its name (as UTF-8) and extra bytes stored once in a text pool.
// A whole CFileHeader is made only when an entry is fetched, so that an
// archive of many millions of entries fits in memory.
#pragma once

#include "engine/file_header.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CEntryTable {
public:
    CEntryTable() = default;
    CEntryTable(const CEntryTable&) = delete;
    CEntryTable& operator=(const CEntryTable&) = delete;

    // The most the table may hold, in bytes; 0 for no limit. A table that
    // would grow past it throws std::bad_alloc instead of exhausting memory.
    void SetMemoryLimit(std::uint64_t bytes) { m_memoryLimit = bytes; }

    void Append(const CFileHeader& header);
    void Fetch(std::size_t index, CFileHeader& header) const;
    // The entry's name as stored in the table, separators as found.
    std::wstring GetName(std::size_t index) const;
    std::uint64_t GetCompressedSize(std::size_t index) const { return At(index).compressedSize; }
    std::uint64_t GetUncompressedSize(std::size_t index) const {
        return At(index).uncompressedSize;
    }
    std::size_t GetCount() const { return m_count; }
    bool IsListed(std::size_t index) const { return (At(index).state & stateListed) != 0; }
    // The directory turned out to list the entry after all.
    void MarkListed(std::size_t index);
    void Clear();

    // Bytes the records and the text pool take.
    std::uint64_t MemoryUsed() const;

private:
    // 72 bytes: sizes, offsets and times in 64 bits, the rest as the header
    // has them.
    struct Record {
        std::uint64_t compressedSize;
        std::uint64_t uncompressedSize;
        std::uint64_t localHeaderOffset;
        std::uint64_t textOffset; // name, extra bytes, then the signature if unusual
        std::int64_t exactModifiedTime;
        std::uint32_t storedCrc;
        std::uint32_t nameBytes;
        std::uint32_t externalAttributes;
        std::uint16_t versionMadeBy;
        std::uint16_t flags;
        std::uint16_t method;
        std::uint16_t modTime;
        std::uint16_t modDate;
        std::uint16_t versionNeeded;
        std::uint16_t nameLength;
        std::uint16_t extraLength;
        std::uint8_t state;
    };
    enum : std::uint8_t {
        stateOpenEnded = 1,
        stateExactTime = 2,    // exactModifiedTime holds the entry's time
        stateOwnSignature = 4, // the signature bytes are not a local header's
        stateExtraBytes = 8,   // the extra field's bytes were read
        stateListed = 16,
        stateFromDirectory = 32,
    };
    static constexpr std::size_t kRecordsPerBlock = 4096;
    static constexpr std::size_t kTextBlockSize = 1 << 20;

    const Record& At(std::size_t index) const;
    const char* TextOf(const Record& record) const;
    void Store(Record& record, const CFileHeader& header);
    std::uint64_t StoreText(const std::string& bytes);
    void Reserve(std::size_t bytes);

    std::vector<std::unique_ptr<Record[]>> m_records;
    std::vector<std::unique_ptr<char[]>> m_text;
    std::size_t m_count = 0;
    std::size_t m_textUsed = 0; // in the last text block
    std::uint64_t m_memoryLimit = 0;
};
