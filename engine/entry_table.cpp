#include "engine/entry_table.h"

#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <new>

static_assert(sizeof(CFileHeader) > 64, "the table is only worth it while headers are big");

void CEntryTable::Reserve(std::size_t bytes) {
    if (m_memoryLimit != 0 && MemoryUsed() + bytes > m_memoryLimit)
        throw std::bad_alloc();
}

std::uint64_t CEntryTable::MemoryUsed() const {
    return std::uint64_t{m_records.size()} * kRecordsPerBlock * sizeof(Record) +
           std::uint64_t{m_text.size()} * kTextBlockSize;
}

void CEntryTable::Append(const CFileHeader& header) {
    if (m_count == m_records.size() * kRecordsPerBlock) {
        Reserve(kRecordsPerBlock * sizeof(Record));
        m_records.push_back(std::make_unique_for_overwrite<Record[]>(kRecordsPerBlock));
    }
    Record& record = m_records[m_count / kRecordsPerBlock][m_count % kRecordsPerBlock];
    Store(record, header);
    ++m_count;
}

std::uint64_t CEntryTable::StoreText(const std::string& bytes) {
    if (bytes.empty())
        return 0;
    // An entry's text never spans two blocks: it is at most a name, 64 KiB of
    // extra bytes and a signature.
    if (m_text.empty() || m_textUsed + bytes.size() > kTextBlockSize) {
        Reserve(kTextBlockSize);
        // Not cleared: pages are only touched as the text fills them.
        m_text.push_back(std::make_unique_for_overwrite<char[]>(kTextBlockSize));
        m_textUsed = 0;
    }
    const std::uint64_t offset = (m_text.size() - 1) * kTextBlockSize + m_textUsed;
    std::memcpy(m_text.back().get() + m_textUsed, bytes.data(), bytes.size());
    m_textUsed += bytes.size();
    return offset;
}

void CEntryTable::Store(Record& record, const CFileHeader& header) {
    std::string text = platform::ToUtf8(header.name);
    record.nameBytes = static_cast<std::uint32_t>(text.size());
    record.state = 0;
    // The scan reads the extra bytes whole (filled with zeros where the file
    // ends) or not at all.
    if (header.extraLength != 0 && header.extraField.GetSize() == header.extraLength) {
        record.state |= stateExtraBytes;
        text.append(header.extraField.GetBuffer(), header.extraLength);
    }
    if (header.signature != kLocalHeaderSignature) {
        record.state |= stateOwnSignature;
        text.append(reinterpret_cast<const char*>(header.signature.data()), 4);
    }
    if (header.openEnded)
        record.state |= stateOpenEnded;
    if (header.listed)
        record.state |= stateListed;
    if (header.fromDirectory)
        record.state |= stateFromDirectory;
    if (header.exactModifiedTime)
        record.state |= stateExactTime;
    record.exactModifiedTime = header.exactModifiedTime.value_or(0);
    record.externalAttributes = header.externalAttributes;
    record.versionMadeBy = header.versionMadeBy;
    record.textOffset = StoreText(text);
    record.compressedSize = header.compressedSize;
    record.uncompressedSize = header.uncompressedSize;
    record.localHeaderOffset = header.localHeaderOffset;
    record.storedCrc = header.storedCrc;
    record.flags = header.flags;
    record.method = header.method;
    record.modTime = header.modTime;
    record.modDate = header.modDate;
    record.versionNeeded = header.versionNeeded;
    record.nameLength = header.nameLength;
    record.extraLength = header.extraLength;
}

const CEntryTable::Record& CEntryTable::At(std::size_t index) const {
    return m_records[index / kRecordsPerBlock][index % kRecordsPerBlock];
}

void CEntryTable::MarkListed(std::size_t index) {
    m_records[index / kRecordsPerBlock][index % kRecordsPerBlock].state |= stateListed;
}

const char* CEntryTable::TextOf(const Record& record) const {
    return m_text.empty() ? nullptr
                          : m_text[record.textOffset / kTextBlockSize].get() +
                                record.textOffset % kTextBlockSize;
}

std::wstring CEntryTable::GetName(std::size_t index) const {
    const Record& record = At(index);
    return platform::FromUtf8(std::string_view(TextOf(record), record.nameBytes));
}

void CEntryTable::Fetch(std::size_t index, CFileHeader& header) const {
    const Record& record = At(index);
    header = CFileHeader();
    const char* text = TextOf(record);
    header.name = platform::FromUtf8(std::string_view(text, record.nameBytes));
    text += record.nameBytes;
    if ((record.state & stateExtraBytes) != 0) {
        header.extraField.Allocate(record.extraLength);
        std::memcpy(header.extraField.GetBuffer(), text, record.extraLength);
        text += record.extraLength;
    }
    if ((record.state & stateOwnSignature) != 0)
        std::memcpy(header.signature.data(), text, 4);
    else
        header.signature = kLocalHeaderSignature;
    header.openEnded = (record.state & stateOpenEnded) != 0;
    header.listed = (record.state & stateListed) != 0;
    header.fromDirectory = (record.state & stateFromDirectory) != 0;
    if ((record.state & stateExactTime) != 0)
        header.exactModifiedTime = record.exactModifiedTime;
    header.externalAttributes = record.externalAttributes;
    header.versionMadeBy = record.versionMadeBy;
    header.compressedSize = record.compressedSize;
    header.uncompressedSize = record.uncompressedSize;
    header.localHeaderOffset = record.localHeaderOffset;
    header.storedCrc = record.storedCrc;
    header.flags = record.flags;
    header.method = record.method;
    header.modTime = record.modTime;
    header.modDate = record.modDate;
    header.versionNeeded = record.versionNeeded;
    header.nameLength = record.nameLength;
    header.extraLength = record.extraLength;
}

void CEntryTable::Clear() {
    m_records.clear();
    m_records.shrink_to_fit();
    m_text.clear();
    m_text.shrink_to_fit();
    m_count = 0;
    m_textUsed = 0;
}
