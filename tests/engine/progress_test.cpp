// Progress reports must be those of a byte walk with a report due every
// 100 positions, though the scan jumps from signature to signature.
#include "tests/engine/engine_fixture.h"
#include "tests/engine/reference_scan.h"

namespace kvtest {
namespace {

using Reports = std::vector<std::pair<std::uint64_t, std::uint64_t>>;
Reports g_analysisReports;
Reports g_savingReports;

unsigned RecordAnalysis(std::uint64_t position, std::uint64_t total) {
    g_analysisReports.emplace_back(position, total);
    return 0;
}
unsigned RecordSaving(std::uint64_t position, std::uint64_t total) {
    g_savingReports.emplace_back(position, total);
    return 0;
}

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
    void SetUp() override {
        EngineTest::SetUp();
        g_analysisReports.clear();
        g_savingReports.clear();
    }
};

TEST_P(Progress, ReportsReplayTheByteWalk) {
    const int mode = GetParam();
    for (int variant = 0; variant < 6; ++variant) {
        SCOPED_TRACE(variant);
        const std::string bytes = SampleArchive(variant);
        ResetScanState();
        g_analysisScanActive = 1;
        g_analysisProgressSink = RecordAnalysis;
        g_analysisReports.clear();
        const ReferenceResult expected = ReferenceScan(bytes, mode);
        Open(bytes, mode);
        EXPECT_EQ(g_analysisReports, expected.reports);
        EXPECT_FALSE(expected.reports.empty());
        m_archive->CloseArchive(true);
    }
}

TEST_P(Progress, FirstPassReportsTheResumeOffsetLeftByTheLastScan) {
    const int mode = GetParam();
    Open(SampleArchive(1), mode);
    m_archive->CloseArchive(true);
    const std::uint64_t left = g_scanState.resumeOffset;
    ASSERT_NE(left, 0u);
    // Leading filler delays the first header past several reports.
    const std::string bytes = std::string(450, '-') + SampleArchive(0);
    g_analysisScanActive = 1;
    g_analysisProgressSink = RecordAnalysis;
    const ReferenceResult expected = ReferenceScan(bytes, mode, left, g_descriptorSeen);
    Open(bytes, mode);
    EXPECT_EQ(g_analysisReports, expected.reports);
    if (mode == 0) {
        ASSERT_GE(g_analysisReports.size(), 2u);
        EXPECT_EQ(g_analysisReports[0].first, left);
    }
}

TEST_P(Progress, EachPassGetsReportsOnlyWhileItsFlagIsSet) {
    const std::string bytes = SampleArchive(2);
    const ReferenceResult expected = ReferenceScan(bytes, GetParam());
    g_analysisProgressSink = RecordAnalysis;
    g_savingProgressSink = RecordSaving;
    g_savingScanActive = 1;
    Open(bytes, GetParam());
    EXPECT_TRUE(g_analysisReports.empty());
    EXPECT_EQ(g_savingReports, expected.reports);
    m_archive->CloseArchive(true);

    g_savingReports.clear();
    g_analysisScanActive = 1;
    const ReferenceResult again = ReferenceScan(bytes, GetParam(), g_scanState.resumeOffset);
    Open(bytes, GetParam());
    EXPECT_EQ(g_analysisReports, again.reports);
    EXPECT_EQ(g_savingReports, again.reports);
}

TEST_P(Progress, NoFlagNoReports) {
    g_analysisProgressSink = RecordAnalysis;
    g_savingProgressSink = RecordSaving;
    Open(SampleArchive(3), GetParam());
    EXPECT_TRUE(g_analysisReports.empty());
    EXPECT_TRUE(g_savingReports.empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, Progress, ::testing::Values(0, 1), [](const auto& test) {
    return test.param == 0 ? std::string("Quick") : std::string("Advanced");
});

} // namespace
} // namespace kvtest
