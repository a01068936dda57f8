#include "engine/zip_archive.h"

#include "engine/scan_state.h"
#include "engine/scan_window.h"
#include "platform/text.h"

#include <cstdlib>

CZipArchive::CZipArchive() : m_centralDir(m_storage) {}

CZipArchive::~CZipArchive() {
    // Blocks the decompressor left behind when an entry was abandoned.
    for (void* block : m_zlibBlocks)
        std::free(block);
}

void CZipArchive::OpenArchive(const std::wstring& path, int mode) {
    if (m_readState != readNone)
        ReleaseEntry();
    m_readState = readNone;
    StampMadeFolders();
    m_claimedPaths.clear();
    m_storage.OpenStorage(path, mode);
    ScanEntries();
}

void CZipArchive::ScanEntries() {
    // A scan that was stopped half-way may have left these filled.
    g_centralNotes.clear();
    g_localOffsets.clear();
    g_centralOffsets.clear();
    m_descriptors.Reset();
    m_centralSizes.Reset();
    m_centralDir.ClearEntries();

    CScanWindow window(m_storage, m_storage.GetLength());
    if (g_repairMode == 1)
        AdvancedScan(window);
    else
        QuickScan(window);
}

bool CZipArchive::FetchEntryInfo(CFileHeader& header, std::size_t index) const {
    if (index >= m_centralDir.GetCount())
        return false;
    header = m_centralDir[index];
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
    m_outputFolders.Clear();
    m_storage.CloseStorage();
}
