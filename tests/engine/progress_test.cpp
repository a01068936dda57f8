// Progress reports must be those of a byte walk with a report due every
// 100 positions, though the scan jumps from signature to signature.
#include "tests/engine/engine_fixture.h"
#include "tests/engine/reference_scan.h"

namespace kvtest {
namespace {

std::string SampleArchive(int variant) {
    ZipWriter zip;
    zip.AddRaw(std::string(static_cast<std::size_t>(variant * 37), '.'));
    zip.Add({.name = "first.txt", .content = std::string(250 + variant, 'a')});
    zip.Add({.name = "second.bin", .content = NoiseBytes(1000, variant), .method = 8});
    zip.Add({.name = "third.txt", .content = "x", .descriptor = DescriptorForm::withSignature});
    zip.AddRaw(NoiseBytes(static_cast<std::size_t>(99 * variant), variant + 1));
    zip.Add({.name = "fourth", .content = std::string(7, 'z'), .compressedSize = 3});
    zip.AddCentralDirectory();
    return zip.Bytes();
}

class Progress : public EngineTest, public ::testing::WithParamInterface<int> {
protected:
    // Scans `bytes` on the fixture's archive object, recording the reports.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ReportsOf(const std::string& bytes) {
        RecordedProgress progress;
        m_archive->SetScanObserver(&progress);
        Open(bytes, GetParam());
        m_archive->SetScanObserver(nullptr);
        m_archive->CloseArchive(true);
        return progress.reports;
    }
};

TEST_P(Progress, ReportsReplayTheByteWalk) {
    for (int variant = 0; variant < 6; ++variant) {
        SCOPED_TRACE(variant);
        const std::string bytes = SampleArchive(variant);
        const ReferenceResult expected = ReferenceScan(bytes, GetParam());
        EXPECT_EQ(ReportsOf(bytes), expected.reports);
        EXPECT_FALSE(expected.reports.empty());
    }
}

TEST_P(Progress, ReportsDoNotDependOnTheScanBefore) {
    // Leading filler delays the first header past several reports, where
    // a resume offset left by the scan before would show.
    const std::string bytes = std::string(450, '-') + SampleArchive(0);
    const auto first = ReportsOf(bytes);
    ReportsOf(SampleArchive(1));
    EXPECT_EQ(ReportsOf(bytes), first);
    EXPECT_EQ(first, ReferenceScan(bytes, GetParam()).reports);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front().first, 0u);
}

TEST_P(Progress, OnlyTheScansGivenAnObserverReport) {
    const std::string bytes = SampleArchive(2);
    RecordedProgress progress;
    m_archive->SetScanObserver(&progress);
    Open(bytes, GetParam());
    m_archive->CloseArchive(true);
    const std::size_t heard = progress.reports.size();
    EXPECT_GT(heard, 0u);
    m_archive->SetScanObserver(nullptr);
    Open(bytes, GetParam());
    EXPECT_EQ(progress.reports.size(), heard);
}

INSTANTIATE_TEST_SUITE_P(Modes, Progress, ::testing::Values(0, 1), [](const auto& test) {
    return test.param == 0 ? std::string("Quick") : std::string("Advanced");
});

} // namespace
} // namespace kvtest
