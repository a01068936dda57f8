// Inputs kept from fuzzing, replayed through the same scan and extraction
// sequence as the fuzz target: any input that ever crashed the engine, and
// the few that between them reach every outcome the extraction reports.
#include "fuzz/salvage_sequence.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The engine's wide path as the bytes the file system got.
fs::path NativePath(const std::wstring& path) {
    return fs::path(platform::EncodeLocal(path));
}

fs::path CaseFolder() {
    return fs::path(__FILE__).parent_path().parent_path() / "data" / "fuzz";
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(CaseFolder(), error)) {
        const std::string name = item.path().filename().string();
        if (item.is_regular_file() && name.front() != '.')
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FuzzRegression : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kvzip-fuzzcase-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_work = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_work, ignored);
        g_repairMode = 0;
    }

    // One scan and its extraction, checked while the output is still there.
    void CheckScan(int mode) {
        SCOPED_TRACE(mode == 0 ? "quick scan" : "advanced scan");
        const fs::path archive = CaseFolder() / GetParam();
        const fs::path out = m_work / (mode == 0 ? "quick" : "advanced");
        fs::create_directories(out);
        const auto before = fs::last_write_time(archive);
        const kvzip_fuzz::ScanRun run =
            kvzip_fuzz::RunScan(std::make_shared<CFileSource>(archive.wstring()), archive.wstring(),
                                out.wstring(), mode, mode == 0);

        ASSERT_EQ(run.reports.size(), run.entries);
        EXPECT_FALSE(run.truncationLeft) << "left raised after extraction";
        EXPECT_EQ(fs::last_write_time(archive), before) << "the archive was touched";

        // Decoding without writing comes to the verdict extraction gave,
        // unless writing itself failed.
        ASSERT_EQ(run.tested.size(), run.entries);
        for (std::size_t i = 0; i < run.entries; ++i) {
            if (run.reports[i].outcome == ExtractReport::failed)
                continue;
            EXPECT_EQ(run.tested[i].verdict, run.reports[i].verdict) << "entry " << i;
            EXPECT_EQ(run.tested[i].crc, run.reports[i].crc) << "entry " << i;
        }

        const std::string root = out.string() + "/";
        std::map<std::wstring, const ExtractReport*> last; // a later entry may reuse a path
        for (const ExtractReport& report : run.reports) {
            if (!report.outputPath.empty())
                last[report.outputPath] = &report;
            if (report.outcome != ExtractReport::written &&
                report.outcome != ExtractReport::partial)
                continue;
            EXPECT_EQ(NativePath(report.outputPath).lexically_normal().string().rfind(root, 0), 0u)
                << NativePath(report.outputPath) << " is outside " << root;
        }
        for (const auto& [path, report] : last) {
            std::error_code error;
            if ((report->outcome == ExtractReport::written ||
                 report->outcome == ExtractReport::partial) &&
                fs::is_regular_file(NativePath(path), error)) {
                EXPECT_EQ(fs::file_size(NativePath(path)), report->bytesWritten)
                    << NativePath(path);
            }
        }
        // Nothing may land beside the output folder.
        std::vector<fs::path> outside;
        for (const auto& item : fs::directory_iterator(m_work))
            if (item.path().filename() != "quick" && item.path().filename() != "advanced")
                outside.push_back(item.path());
        EXPECT_TRUE(outside.empty());
    }

    fs::path m_work;
};

TEST_P(FuzzRegression, BothScansAndExtractionStaySound) {
    CheckScan(0);
    CheckScan(1);
}

INSTANTIATE_TEST_SUITE_P(Cases, FuzzRegression, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& test) {
                             std::string name = test.param.substr(0, test.param.rfind('.'));
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return !std::isalnum(static_cast<unsigned char>(c));
                                 },
                                 '_');
                             return name;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FuzzRegression);

} // namespace
