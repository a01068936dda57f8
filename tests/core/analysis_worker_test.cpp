// The analysis pass of one source file, driven through a recording host.
#include "tests/support/workflow_hosts.h"

#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "tests/support/scripted_message_box.h"
#include "tests/support/zip_writer.h"
#include "workflow/analysis_format.h"
#include "workflow/analysis_worker.h"
#include "workflow/bar_position.h"
#include "workflow/repair_state.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {

using kvtest::EntrySpec;
using kvtest::ZipWriter;

class AnalysisWorkerTest : public WorkflowTest {
protected:
    // The six header calls for file `number` at `path`.
    static std::string Header(int number, const std::filesystem::path& path) {
        return "File Number :      " + std::to_string(number) +
               "\r\nFile Name   :      " + path.string() + "\r\n";
    }
    static std::string Count(int listed) {
        return "Number Of Files Extracted  :      " + std::to_string(listed) + "\r\n\r\n\r\n";
    }
    static std::vector<std::string> Names(const RecordingAnalysisHost& host) {
        std::vector<std::string> names;
        for (const EntryRow& row : host.rows)
            names.push_back(platform::EncodeLocal(row.name));
        return names;
    }
};

// Entries followed by filler that holds no signature: the quick scan then
// reports a position well below the end, so the listing's steps show.
std::string EntriesThenFiller(const std::vector<std::string>& names, std::size_t filler) {
    ZipWriter zip;
    for (const std::string& name : names)
        zip.Add({.name = name, .content = "data of " + name});
    zip.AddRaw(std::string(filler, 'x'));
    return zip.Bytes();
}

TEST_F(AnalysisWorkerTest, ListsASoundArchiveAndLogsItsCount) {
    const auto path = Archive("sound.zip", ThreeEntryArchive());
    SetSources({Root() / "other.zip", path});
    RecordingAnalysisHost host(2);
    ASSERT_TRUE(RunAnalysis(host));

    EXPECT_EQ(Names(host), (std::vector<std::string>{"one.txt", "two.txt", "three.txt"}));
    EXPECT_EQ(host.listedCount, L"3");
    EXPECT_EQ(LogText(), Header(2, path) + Count(3));
    EXPECT_EQ(g_currentSourcePath, platform::DecodeLocal(path.string()));
    // After the last entry the bar reads 100 and stays there.
    ASSERT_FALSE(host.bars.empty());
    EXPECT_EQ(host.bars.back(), 100);
    EXPECT_EQ(host.calls.back(), "finished");
    EXPECT_EQ(g_closeAnalysisDlg, 1);
    EXPECT_EQ(g_reapAnalysisThread, 1);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(g_analysisScanActive, 0);
    EXPECT_EQ(host.source.problem, SourceProblem::none);
    EXPECT_EQ(host.source.error, L"");
    // A report that changes nothing never reaches the window.
    EXPECT_EQ(std::adjacent_find(host.bars.begin(), host.bars.end()), host.bars.end());
}

// Save Current File leaves its folder line open; the next file's analysis
// (Next File) must not run on from it. A log that ends a line gets nothing.
TEST_F(AnalysisWorkerTest, TheHeaderStartsALineOfItsOwn) {
    const auto path = Archive("sound.zip", ThreeEntryArchive());
    SetSources({path});
    WriteActivityLog(L"\r\n");
    WriteActivityLog(L"/dest/Repair/intact");
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(LogText(), "\r\n/dest/Repair/intact\r\n" + Header(1, path) + Count(3) +
                             Header(1, path) + Count(3));
}

TEST_F(AnalysisWorkerTest, LeavesOutDebrisAndStillAdvancesTheBarForEveryEntry) {
    // Capital P and K are letters like any other; a name with control bytes
    // is what a false header gives.
    const auto path = Archive(
        "names.zip",
        EntriesThenFiller({"KPX.TXT", "PK\x03\x04\x14.DAT", "Kind.doc", "docs/BACKUP.ZIP"}, 1600));
    SetSources({path});
    RecordingAnalysisHost host;
    std::vector<int> scanBars;
    host.onBar = [&](int p) {
        if (g_analysisScanActive == 1)
            scanBars.push_back(p);
    };
    ASSERT_TRUE(RunAnalysis(host));

    EXPECT_EQ(Names(host), (std::vector<std::string>{"KPX.TXT", "Kind.doc", "docs/BACKUP.ZIP"}));
    EXPECT_EQ(LogText(), Header(1, path) + Count(3));
    // The listing counts only what it listed: one batch here.
    EXPECT_EQ(host.listedCount, L"3");
    EXPECT_EQ(std::count_if(host.calls.begin(), host.calls.end(),
                            [](const std::string& call) { return call.rfind("rows", 0) == 0; }),
              1);

    // The scan fills the first tenth of the bar, each of the four entries,
    // listed or not, a quarter of the rest; 100 only with the last.
    for (const int p : scanBars)
        EXPECT_LE(p, 10);
    const std::vector<int> tail(host.bars.end() - 4, host.bars.end());
    EXPECT_EQ(tail, (std::vector<int>{32, 55, 77, 100}));
}

TEST_F(AnalysisWorkerTest, NeverListsAnEntryWithoutAName) {
    ZipWriter zip;
    zip.Add({.name = "", .content = "nameless"});
    zip.Add({.name = "kept.txt", .content = "kept"});
    zip.AddRaw(std::string(200, 'x'));
    const auto path = Archive("nameless.zip", zip.Bytes());
    SetSources({path});
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(Names(host), (std::vector<std::string>{"kept.txt"}));
    EXPECT_EQ(LogText(), Header(1, path) + Count(1));
}

TEST_F(AnalysisWorkerTest, AnArchiveOfDebrisOnlyListsNothingAndLogsZero) {
    const auto path = Archive("debris.zip", EntriesThenFiller({"docs/\x01\x02", "/./"}, 200));
    SetSources({path});
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_TRUE(host.rows.empty());
    // The counter says 0, and why the list is empty.
    EXPECT_EQ(host.listedCount, L"0");
    EXPECT_EQ(host.source.problem, SourceProblem::noEntries);
    EXPECT_EQ(LogText(), Header(1, path) + Count(0));
}

TEST_F(AnalysisWorkerTest, RowsCarryTheSixTexts) {
    const char* savedTz = std::getenv("TZ");
    const std::string tz = savedTz ? savedTz : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    ZipWriter zip;
    const std::string content(1023, 'a');
    // 5 Mar 2008, 14:07:08 in DOS form (two-second steps).
    zip.Add({.name = "dir/data.bin",
             .content = content,
             .modTime = (14 << 11) | (7 << 5) | 4,
             .modDate = ((2008 - 1980) << 9) | (3 << 5) | 5});
    zip.AddCentralDirectory();
    const auto path = Archive("texts.zip", zip.Bytes());
    SetSources({path});
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    if (savedTz)
        ::setenv("TZ", tz.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();

    ASSERT_EQ(host.rows.size(), 1u);
    const EntryRow& row = host.rows[0];
    EXPECT_EQ(row.texts[columnFileName], L"dir/data.bin");
    EXPECT_EQ(row.texts[columnUncompressedSize], L"1023   Bytes");
    EXPECT_EQ(row.texts[columnCompressedSize], L"1023   Bytes");
    EXPECT_EQ(row.texts[columnRatio], L"100%");
    EXPECT_EQ(row.texts[columnModifiedTime], L"05 Mar 2008, 14:07:08");
    wchar_t crc[12];
    std::swprintf(crc, 12, L"%08x", kvtest::Crc32(content));
    EXPECT_EQ(row.texts[columnCrc], crc);
}

TEST_F(AnalysisWorkerTest, AMissingFileLogsOnlyTheHeaderAndSaysSo) {
    const auto path = Root() / "gone.zip";
    SetSources({path});
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"start 1", "done 0", "finished"}));
    EXPECT_EQ(host.source.problem, SourceProblem::missing);
    EXPECT_EQ(LogText(), Header(1, path));
    EXPECT_EQ(g_closeAnalysisDlg, 1);
}

// A file of `size` bytes whose only signature sits at its very end, or is
// cut to its first `signatureBytes` bytes there.
std::string FillerThenSignature(std::size_t size, std::size_t signatureBytes = 4) {
    const std::string signature("PK\x03\x04", signatureBytes);
    return std::string(size - signature.size(), 'x') + signature;
}

struct ProbeCase {
    const char* label;
    std::size_t size;
    std::size_t signatureBytes;
    bool scanned;
    bool found;
};

class SignatureProbe : public AnalysisWorkerTest,
                       public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(SignatureProbe, FindsOnlyAWholeSignatureInAFileOfMoreThan100Bytes) {
    const ProbeCase& c = GetParam();
    const auto path = Archive("probe.zip", FillerThenSignature(c.size, c.signatureBytes));
    SetSources({path});
    g_signatureFound = 0;
    g_scanOffset = 12345;
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(g_signatureFound, c.found ? 1 : 0);
    // Only a file that held a signature gets its count logged.
    EXPECT_EQ(LogText(), Header(1, path) + (c.found ? Count(0) : ""));
    if (!c.scanned) {
        EXPECT_TRUE(host.bars.empty());
        EXPECT_EQ(g_scanOffset, 12345u);
    } else {
        EXPECT_EQ(g_scanOffset, c.found ? c.size - 4 : c.size);
        // The probe's bar climbs one step at a time through the scan's share.
        for (std::size_t i = 0; i < host.bars.size(); ++i)
            EXPECT_EQ(host.bars[i], static_cast<int>(i) + 1);
        EXPECT_EQ(host.bars.back(), 9);
    }
    EXPECT_TRUE(host.rows.empty());
    // No entry in any of them: the preview says there is no ZIP data.
    EXPECT_EQ(host.source.problem, SourceProblem::noZipData);
    EXPECT_EQ(host.listedCount, L"0");
}

INSTANTIATE_TEST_SUITE_P(Files, SignatureProbe,
                         ::testing::Values(ProbeCase{"exactly100", 100, 4, false, false},
                                           ProbeCase{"just101", 101, 4, true, true},
                                           ProbeCase{"lastFourBytes", 5000, 4, true, true},
                                           ProbeCase{"lastThreeBytes", 5000, 3, true, false}),
                         [](const auto& test) { return std::string(test.param.label); });

TEST_F(AnalysisWorkerTest, ASignatureAtOffsetZeroLeavesTheBarForTheEngine) {
    const auto path = Archive("front.zip", ThreeEntryArchive());
    SetSources({path});
    RecordingAnalysisHost host;
    bool movedBeforeScan = false;
    host.onBar = [&](int) {
        if (g_analysisScanActive == 0 && host.rows.empty() && host.bars.size() == 1 &&
            host.calls.size() == 2)
            movedBeforeScan = true;
    };
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_FALSE(movedBeforeScan);
}

struct CutCase {
    const char* label;
    int entry;  // the entry that is cut
    int offset; // from its local header
};

class TruncatedArchive : public AnalysisWorkerTest,
                         public ::testing::WithParamInterface<CutCase> {};

TEST_P(TruncatedArchive, ListsTheEntriesBeforeTheCut) {
    ZipWriter zip;
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        zip.Add({.name = name, .content = std::string(300, name[1])});
    std::string bytes = zip.Bytes();
    kvtest::Truncate(bytes, zip.Entry(GetParam().entry).headerOffset + GetParam().offset);
    const auto path = Archive("cut.zip", bytes);
    SetSources({path});
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));

    const std::vector<std::string> names = Names(host);
    ASSERT_GE(names.size(), static_cast<std::size_t>(GetParam().entry));
    const std::vector<std::string> whole = {"one.txt", "two.txt"};
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + GetParam().entry, names.begin()));
    EXPECT_EQ(LogText(), Header(1, path) + Count(static_cast<int>(names.size())));
    EXPECT_EQ(g_analysisScanActive, 0);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(host.calls.back(), "finished");
}

INSTANTIATE_TEST_SUITE_P(Cuts, TruncatedArchive,
                         ::testing::Values(CutCase{"afterSignature", 2, 4},
                                           CutCase{"insideHeader", 2, 20},
                                           CutCase{"insideName", 2, 32},
                                           CutCase{"insideData", 2, 100},
                                           CutCase{"insideSecondData", 1, 100}),
                         [](const auto& test) { return std::string(test.param.label); });

TEST_F(AnalysisWorkerTest, AFileThatCannotBeOpenedIsToldAndListsNothing) {
    const auto path = Archive("locked.zip", ThreeEntryArchive());
    std::filesystem::permissions(path, std::filesystem::perms::none);
    if (FILE* probe = std::fopen(path.c_str(), "rb")) {
        std::fclose(probe);
        GTEST_SKIP() << "running with rights that ignore file permissions";
    }
    SetSources({path});
    ScriptedMessageBox boxes;
    RecordingAnalysisHost host;
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(boxes.AskedTexts(),
              (std::vector<std::wstring>{L"File is already open ,Please close the file"}));
    EXPECT_EQ(LogText(), Header(1, path));
    EXPECT_TRUE(host.rows.empty());
    EXPECT_EQ(host.source.problem, SourceProblem::unreadable);
}

TEST_F(AnalysisWorkerTest, AFileThatVanishesAfterTheProbeEndsThePassQuietly) {
    const auto path = Archive("vanish.zip", std::string(300, 'x') + ThreeEntryArchive());
    SetSources({path});
    RecordingAnalysisHost host;
    // The probe has the file open; the engine opens it anew by its name.
    host.onBar = [&](int) {
        if (g_analysisScanActive == 0)
            std::filesystem::remove(path);
    };
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(g_signatureFound, 1);
    EXPECT_EQ(host.source.problem, SourceProblem::unreadable);
    EXPECT_NE(host.source.error, L"");
    EXPECT_TRUE(host.rows.empty());
    // Nothing could be read, so no count is logged.
    EXPECT_EQ(LogText(), Header(1, path));
    EXPECT_EQ(g_analysisScanActive, 0);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(host.calls.back(), "finished");
}

TEST_F(AnalysisWorkerTest, APausedWorkerHaltsBetweenEntriesAndGoesOnWhenResumed) {
    const auto path = Archive("pause.zip", ThreeEntryArchive());
    SetSources({path});
    RecordingAnalysisHost host;
    platform::WorkerThread worker;
    // The pause comes while the first entry is listed: the worker must halt
    // at its next safe point, before the second entry, and show the first.
    host.onBar = [&](int) {
        if (g_analysisScanActive == 0 && g_signatureFound == 1 && !worker.Gate().IsPaused())
            worker.Gate().Pause();
    };
    ASSERT_TRUE(
        worker.Start([&host](platform::WorkerGate& gate) { return AnalysisWorker(host, gate); }));
    platform::GateState state = platform::GateState::Running;
    while (state == platform::GateState::Running)
        state = worker.Gate().WaitUntilHalted();
    ASSERT_EQ(state, platform::GateState::Halted);
    EXPECT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(g_analysisScanActive, 0);
    host.onBar = nullptr;
    worker.Gate().Resume();
    EXPECT_EQ(worker.Join(), platform::WorkerEnding::Completed);
    EXPECT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.calls.back(), "finished");
}

TEST_F(AnalysisWorkerTest, StopBetweenEntriesKeepsTheRowsListed) {
    const auto path = Archive("stop.zip", ThreeEntryArchive());
    SetSources({path});
    platform::WorkerGate gate;
    RecordingAnalysisHost host;
    host.onBar = [&](int) {
        if (g_analysisScanActive == 0 && g_signatureFound == 1)
            gate.Stop();
    };
    EXPECT_FALSE(RunAnalysis(host, &gate));
    EXPECT_EQ(Names(host), (std::vector<std::string>{"one.txt"}));
    EXPECT_EQ(g_analysisScanActive, 0);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "finished"), 0);
    g_analysisArchive.CloseArchive(true);
    g_entryCount = 0;
}

TEST_F(AnalysisWorkerTest, StopInsideTheScanUnwindsAndClearsTheScanFlag) {
    // Entries all through the file: the scan's reports move the bar.
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i)
        names.push_back("entry" + std::to_string(i) + ".txt");
    const auto path = Archive("scan.zip", EntriesThenFiller(names, 0));
    SetSources({path});
    platform::WorkerGate gate;
    RecordingAnalysisHost host;
    bool stoppedInScan = false;
    host.onBar = [&](int) {
        if (g_analysisScanActive == 1 && !stoppedInScan) {
            stoppedInScan = true;
            gate.Stop();
        }
    };
    EXPECT_FALSE(RunAnalysis(host, &gate));
    EXPECT_TRUE(stoppedInScan);
    EXPECT_EQ(g_analysisScanActive, 0);
    EXPECT_TRUE(host.rows.empty());
    g_analysisArchive.CloseArchive(true);
    g_entryCount = 0;
}

// ReportAnalysisProgress only acts while a pass runs: drive it from the
// host while the worker lists the first entry. The scan's progress lags and
// creeps as designed; the bar shows it within the scan's share only.
TEST_F(AnalysisWorkerTest, LaggingReportsCreepEveryTwoThousandth) {
    const auto path = Archive("creep.zip", EntriesThenFiller({"a", "b", "c"}, 1600));
    SetSources({path});
    RecordingAnalysisHost host;
    std::vector<int> seen;
    bool driven = false;
    host.onBar = [&](int) {
        // The first move of the listing.
        if (driven || g_analysisScanActive == 1 || g_signatureFound != 1)
            return;
        driven = true;
        const int start = host.bars.back();
        // The scan's own lagging reports have counted too.
        g_progressCreepCount = 0;
        for (int i = 0; i < 1999; ++i)
            ReportAnalysisProgress(0, 100);
        seen.push_back(g_progressCreepCount);
        ReportAnalysisProgress(0, 100);
        seen.push_back(g_progressCreepCount);
        // The counter carries over between calls, files and dialogs.
        g_progressCreepCount = 1998;
        ReportAnalysisProgress(1, 1000);
        ReportAnalysisProgress(1, 1000);
        seen.push_back(g_progressCreepCount);
        // A total of 0 lags like position 0 rather than dividing by it; at
        // or past the end the scan stops at 99, within its share of the bar.
        ReportAnalysisProgress(5, 0);
        ReportAnalysisProgress(250, 100);
        seen.push_back(host.bars.back() - start);
    };
    ASSERT_TRUE(RunAnalysis(host));
    EXPECT_EQ(seen, (std::vector<int>{1999, 0, 0, 0}));
    EXPECT_EQ(host.bars.back(), 100);
}

TEST(AnalysisProgress, DoesNothingWithoutARunningPass) {
    EXPECT_EQ(ReportAnalysisProgress(50, 100), 0u);
}

// Positions past 4 GiB count in full (5 of 6 GiB is 83 %), and the largest
// 64-bit values do not overflow the percentage.
TEST(AnalysisProgress, ReportsOfLargeArchivesCountInFull) {
    int creep = 0;
    EXPECT_EQ(LaggingReportPosition(std::uint64_t{5} << 30, std::uint64_t{6} << 30, 0, creep, 2000),
              83);
    EXPECT_EQ(LaggingReportPosition(UINT64_MAX - 1, UINT64_MAX, 0, creep, 2000), 99);
    EXPECT_EQ(creep, 0);
}

} // namespace
