#include "engine/central_dir.h"

#include "engine/zip_exception.h"
#include "engine/zip_storage.h"

#include <algorithm>

void CCentralDir::PositionAtEntry(std::size_t index) {
    m_table->Fetch(index, m_current);
    PositionAt(m_current);
}

void CCentralDir::PositionAt(const CFileHeader& reading) {
    if (&reading != &m_current)
        m_current = reading;
    m_currentEntry = &m_current;
    CFileHeader& entry = m_current;
    std::uint16_t localExtra = 0;
    bool hasDescriptor = false;
    if (entry.fromDirectory) {
        // No local header to re-read: the scan chose where the data starts.
        if (const std::uint16_t data = entry.DataMethod(); data != 0 && data != 8)
            ThrowZipError(CZipException::codeBadZipFile, m_storage.GetPath());
        m_storage.Seek(entry.localHeaderOffset + kLocalHeaderSize + entry.nameLength);
        localExtra = entry.extraLength;
    } else {
        m_storage.Seek(entry.localHeaderOffset);
        if (!entry.CheckLocalHeader(m_storage, localExtra, hasDescriptor, m_descriptorSeen))
            ThrowZipError(CZipException::codeBadZipFile, m_storage.GetPath());
    }
    entry.localExtraLength = localExtra;
    // An entry whose descriptor was never found has nothing to check against.
    m_hasDescriptor = hasDescriptor && !entry.openEnded;
    m_localExtra.Allocate(localExtra);
    if (localExtra > 0)
        m_storage.ReadBytes(m_localExtra.GetBuffer(), localExtra, true);
}

void CCentralDir::FinishEntry() {
    m_localExtra.Release();
    if (m_hasDescriptor) {
        // Where the data ends: the signature is optional, the sizes 4 or 8
        // bytes wide, so up to 24 bytes are looked at.
        unsigned char raw[kSignatureSize + kWideDescriptorFieldsSize] = {};
        const std::size_t read = m_storage.ReadAt(m_storage.GetPosition(), raw, sizeof raw);
        const std::size_t skip =
            read >= kSignatureSize && std::equal(kDataDescriptorSignature.begin(),
                                                 kDataDescriptorSignature.end(), raw)
                ? kSignatureSize
                : 0;
        if (!m_currentEntry->MatchesDescriptor(raw + skip, read - skip))
            ThrowZipError(CZipException::codeBadZipFile, m_storage.GetPath());
    }
    m_hasDescriptor = false;
    m_currentEntry = nullptr;
}

void CCentralDir::AbandonEntry() {
    m_localExtra.Release();
    m_hasDescriptor = false;
    m_currentEntry = nullptr;
}

void CCentralDir::ClearEntries() {
    m_entries.Clear();
    m_table = &m_entries;
    m_currentEntry = nullptr;
}
