#include "engine/central_dir.h"

#include "engine/zip_exception.h"
#include "engine/zip_storage.h"

void CCentralDir::PositionAtEntry(std::size_t index) {
    m_entries.Fetch(index, m_current);
    m_currentEntry = &m_current;
    CFileHeader& entry = m_current;
    m_storage.Seek(entry.localHeaderOffset);
    std::uint16_t localExtra = 0;
    bool hasDescriptor = false;
    if (!entry.CheckLocalHeader(m_storage, localExtra, hasDescriptor))
        ThrowZipError(CZipException::codeBadZipFile, m_storage.GetPath());
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
        // The signature is optional: without it the 12 bytes start right here.
        unsigned char signature[4] = {};
        const std::uint32_t read = m_storage.ReadBytes(signature, 4, false);
        if (read < 4 || signature[0] != kDataDescriptorSignature[0] ||
            signature[1] != kDataDescriptorSignature[1] ||
            signature[2] != kDataDescriptorSignature[2] ||
            signature[3] != kDataDescriptorSignature[3])
            m_storage.SeekRelative(-static_cast<std::int64_t>(read));
        unsigned char descriptor[12] = {};
        const std::uint32_t got = m_storage.ReadBytes(descriptor, 12, false);
        if (got < 12 || !m_currentEntry->MatchesDescriptor(descriptor))
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
    m_currentEntry = nullptr;
}
