#include "engine/zip_archive.h"

#include "engine/scan_state.h"
#include "engine/scan_window.h"
#include "engine/zip_exception.h"
#include "platform/memory.h"
#include "platform/text.h"

#include <cstdlib>
#include <new>

CZipArchive::CZipArchive() : m_centralDir(m_storage) {}

CZipArchive::~CZipArchive() {
    // An entry still open ends its decoder first: it frees its own blocks.
    m_decoder.reset();
    // Blocks the decompressor left behind when an entry was abandoned.
    for (void* block : m_zlibBlocks)
        std::free(block);
}

void CZipArchive::OpenArchive(const std::wstring& path, int /*mode*/) {
    // Both modes read only.
    OpenArchive(std::make_shared<CFileSource>(path), path);
}

void CZipArchive::OpenArchive(std::shared_ptr<const CByteSource> source, const std::wstring& path) {
    if (m_readState != readNone)
        ReleaseEntry();
    m_readState = readNone;
    StampMadeFolders();
    m_claimedPaths.clear();
    m_storage.OpenStorage(std::move(source), path);
    ScanEntries();
}

void CZipArchive::ReadEntriesOf(const CZipArchive& scanned) {
    if (m_readState != readNone)
        ReleaseEntry();
    StampMadeFolders();
    m_claimedPaths.clear();
    m_storage.OpenStorage(scanned.m_storage.GetSource(), scanned.GetArchivePath());
    m_centralDir.ClearEntries();
    m_centralDir.ReadTableOf(scanned.m_centralDir);
    m_descriptors.Reset();
    m_centralSizes.Reset();
    m_password = scanned.m_password;
}

void CZipArchive::ScanEntries() {
    // Whatever a scan stopped half-way left behind goes.
    m_scan = ScanState();
    m_centralDir.m_descriptorSeen = false;
    m_descriptors.Reset();
    m_centralSizes.Reset();
    m_centralDir.ClearEntries();

    // The table may take most of the memory left, never so much that the
    // system ends the program instead of the scan ending with a message.
    const std::uint64_t available = platform::AvailableMemory();
    m_centralDir.Entries().SetMemoryLimit(m_tableMemoryLimit != 0 ? m_tableMemoryLimit
                                                                  : available - available / 8);
    CScanWindow window(m_storage, m_storage.GetLength());
    try {
        if (g_repairMode == 1)
            AdvancedScan(window);
        else
            QuickScan(window);
    } catch (const std::bad_alloc&) {
        throw CZipException(CZipException::tooManyEntries, m_storage.GetPath());
    }
}

bool CZipArchive::FetchEntryInfo(CFileHeader& header, std::size_t index) const {
    if (index >= m_centralDir.GetCount())
        return false;
    m_centralDir.Entries().Fetch(index, header);
    if (m_convertSlashes)
        header.name = platform::ToNativeSeparators(std::move(header.name));
    return true;
}

void CZipArchive::CloseArchive(bool /*afterError*/) {
    StampMadeFolders();
    m_claimedPaths.clear();
    m_centralDir.ClearEntries();
    m_descriptors.Reset();
    m_centralSizes.Reset();
    m_fastInflate.Release();
    m_outputFolders.Clear();
    m_storage.CloseStorage();
}
