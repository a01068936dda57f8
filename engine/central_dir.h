// The entry table that the scan builds, and the entry being read.
#pragma once

#include "engine/auto_buffer.h"
#include "engine/entry_table.h"
#include "engine/file_header.h"

#include <cstddef>

class CZipStorage;

class CCentralDir {
public:
    explicit CCentralDir(CZipStorage& storage) : m_storage(storage) {}
    CCentralDir(const CCentralDir&) = delete;
    CCentralDir& operator=(const CCentralDir&) = delete;
    virtual ~CCentralDir() = default;

    // Seeks to the entry's local header, re-reads it and its extra field and
    // leaves the file on the entry's data. Throws cause 10 on a bad header.
    void PositionAtEntry(std::size_t index);
    // The same for a reading of an entry other than the table's.
    void PositionAt(const CFileHeader& entry);
    // Ends the entry: checks its data descriptor when it declares one.
    void FinishEntry();
    // Forgets the current entry without reading anything more.
    void AbandonEntry();
    void ClearEntries();

    // Reads the entries of `scanned`'s table, which must outlive this use,
    // instead of its own, until ClearEntries.
    void ReadTableOf(const CCentralDir& scanned) {
        m_table = scanned.m_table;
        m_descriptorSeen = scanned.m_descriptorSeen;
    }

    // The table the scan fills.
    CEntryTable& Entries() { return m_entries; }
    // The table entries are read from.
    const CEntryTable& Entries() const { return *m_table; }
    std::size_t GetCount() const { return m_table->GetCount(); }

    // The entry being read, made from the table, or null.
    CFileHeader* m_currentEntry = nullptr;
    CAutoBuffer m_localExtra;
    bool m_hasDescriptor = false;
    // The scan met a data descriptor before some header: see CheckLocalHeader.
    bool m_descriptorSeen = false;

private:
    CZipStorage& m_storage;
    CEntryTable m_entries;
    const CEntryTable* m_table = &m_entries;
    CFileHeader m_current;
};
