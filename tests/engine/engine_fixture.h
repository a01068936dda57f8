// Opening test archives with the engine.
#pragma once

#include "engine/scan_state.h"
#include "engine/zip_archive.h"
#include "tests/support/zip_writer.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kvtest {

inline std::wstring Wide(const std::filesystem::path& path) {
    return path.wstring();
}

// Every entry of the table as FetchEntryInfo hands it out.
inline std::vector<CFileHeader> FetchAll(const CZipArchive& archive) {
    std::vector<CFileHeader> out(archive.GetEntryCount());
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_TRUE(archive.FetchEntryInfo(out[i], i));
    return out;
}

// Compares file contents without printing megabytes when they differ.
inline ::testing::AssertionResult SameBytes(const std::optional<std::string>& actual,
                                            const std::string& expected) {
    if (!actual)
        return ::testing::AssertionFailure() << "no such file";
    if (*actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual->size() && at < expected.size() && (*actual)[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << "got " << actual->size() << " bytes, expected "
                                         << expected.size() << "; first difference at " << at;
}

// Every report a scan makes, in order.
class RecordedProgress : public CScanObserver {
public:
    void ScanProgress(std::uint64_t position, std::uint64_t total) override {
        reports.emplace_back(position, total);
    }
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { g_repairMode = 0; }
    void TearDown() override {
        m_archive->CloseArchive(true);
        g_repairMode = 0;
    }

    // Writes `bytes` as the archive file and scans it in `mode`.
    CZipArchive& Open(const std::string& bytes, int mode = 0) {
        m_archivePath = m_dir / "archive.zip";
        WriteFileBytes(m_archivePath, bytes);
        g_repairMode = mode;
        m_archive->OpenArchive(Wide(m_archivePath), 0);
        return *m_archive;
    }

    std::filesystem::path Out() const { return m_dir / "out"; }

    TempDir m_dir;
    std::filesystem::path m_archivePath;
    std::unique_ptr<CZipArchive> m_archive = std::make_unique<CZipArchive>();
};

} // namespace kvtest
