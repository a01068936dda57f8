// The sequence a caller of the engine runs on one archive: each scan, every
// entry fetched and extracted. Shared by the fuzz target and the regression
// tests so that both drive the engine the same way.
#pragma once

#include "engine/byte_source.h"
#include "engine/file_header.h"
#include "engine/scan_state.h"
#include "engine/zip_archive.h"
#include "engine/zip_exception.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kvzip_fuzz {

// What one scan and its extraction gave.
struct ScanRun {
    bool opened = false; // OpenArchive returned without an exception
    int openCause = 0;   // the exception's cause when it did not (CZipException), else -1
    std::size_t entries = 0;
    std::vector<ExtractReport> reports;
    // The same entries decoded without writing (TestEntry).
    std::vector<ExtractReport> tested;
    std::size_t entryExceptions = 0;
    // The storage still said the archive ended inside an entry's data after
    // the last extraction: it would cut the next entry read short.
    bool truncationLeft = false;
};

struct SalvageRun {
    ScanRun quick;
    ScanRun advanced;
};

// Takes the scan's reports and drops them: the work of reporting still runs.
class IgnoredProgress : public CScanObserver {
public:
    void ScanProgress(std::uint64_t, std::uint64_t) override {}
};

// Scans `source` (named `archive`) with `mode` and extracts every entry
// below `folder`.
inline ScanRun RunScan(const std::shared_ptr<const CByteSource>& source,
                       const std::wstring& archive, const std::wstring& folder, int mode,
                       bool reportProgress) {
    ScanRun run;
    g_repairMode = mode;
    IgnoredProgress progress;
    CZipArchive archiveObject;
    if (reportProgress)
        archiveObject.SetScanObserver(&progress);
    try {
        archiveObject.OpenArchive(source, archive);
        run.opened = true;
    } catch (const CZipException& e) {
        run.openCause = e.m_cause;
    } catch (const CException&) {
        run.openCause = -1;
    }
    archiveObject.SetScanObserver(nullptr);
    run.entries = archiveObject.GetEntryCount();

    // As the command line does: the entries found before an error still count.
    CFileHeader header;
    for (std::size_t i = 0; i < run.entries; ++i) {
        archiveObject.FetchEntryInfo(header, i);
        ExtractReport report;
        try {
            archiveObject.ExtractEntryTo(i, folder, 65535, &report);
        } catch (const CException&) {
            ++run.entryExceptions;
        }
        run.reports.push_back(std::move(report));
        ExtractReport tested;
        try {
            archiveObject.TestEntry(i, 65535, tested);
        } catch (const CException&) {
            // Filled in before it was thrown, as by extraction.
        }
        run.tested.push_back(std::move(tested));
    }
    run.truncationLeft = archiveObject.m_storage.m_truncated;
    archiveObject.CloseArchive(true);
    return run;
}

// Both scans of `source`, each extracting into its own fresh folder below
// `workFolder`, which is removed afterwards. The quick scan reports progress.
inline SalvageRun RunSalvage(const std::shared_ptr<const CByteSource>& source,
                             const std::filesystem::path& workFolder) {
    SalvageRun result;
    std::error_code ignored;
    const std::filesystem::path quickDir = workFolder / "quick";
    const std::filesystem::path advancedDir = workFolder / "advanced";
    std::filesystem::create_directories(quickDir, ignored);
    std::filesystem::create_directories(advancedDir, ignored);
    result.quick = RunScan(source, L"input.zip", quickDir.wstring(), 0, true);
    result.advanced = RunScan(source, L"input.zip", advancedDir.wstring(), 1, false);
    std::filesystem::remove_all(workFolder, ignored);
    return result;
}

} // namespace kvzip_fuzz
