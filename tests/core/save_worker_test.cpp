// The saving pass, both modes, driven through a recording host.
#include "tests/support/workflow_hosts.h"

#include "engine/scan_state.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "tests/support/scripted_message_box.h"
#include "tests/support/zip_writer.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_state.h"
#include "workflow/save_state.h"
#include "workflow/save_worker.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;
using kvtest::ZipWriter;

const std::string kStartLines =
    "\r\n\r\n*************************** Step 3 :- Files Saving********************************"
    "\r\n\r\nDestination Files Path :\r\n________________________\r\n\r\n";

class SaveWorkerTest : public WorkflowTest {
protected:
    void SetUp() override {
        WorkflowTest::SetUp();
        m_dest = Root() / "dest";
        fs::create_directory(m_dest);
    }
    fs::path Dest() const { return m_dest; }
    fs::path Repair() const { return m_dest / "Repair"; }

    // Save All of `sources` into Dest().
    void UseSaveAll(const std::vector<fs::path>& sources) {
        SetSources(sources);
        g_saveCurrentOnly = 0;
        g_saveAllFolder = platform::DecodeLocal(Dest().string());
    }
    // Save Current File of source `number` into Dest().
    void UseSaveCurrent(const std::vector<fs::path>& sources) {
        SetSources(sources);
        g_saveCurrentOnly = 1;
        g_saveCurrentFolder = platform::DecodeLocal(Dest().string());
    }
    // An archive's lines in the log: its output folder, its totals, then
    // each entry that is not verified.
    static std::string FolderLine(const fs::path& folder,
                                  const std::string& totals = "Saved 3 files: 3 verified") {
        return "\r\n" + folder.string() + "\r\n" + totals;
    }
    static std::string FolderLines(const std::vector<fs::path>& folders) {
        std::string lines;
        for (const fs::path& folder : folders)
            lines += FolderLine(folder);
        return lines;
    }
    static std::string Read(const fs::path& file) {
        return kvtest::ReadFileBytes(file).value_or("<missing>");
    }

private:
    fs::path m_dest;
};

// A file of `size` bytes without any signature.
std::string FillerOf(std::size_t size) {
    return std::string(size, 'x');
}

std::string Content(const std::string& name) {
    return "content of " + name + std::string(80, '.');
}

// A bar as the user sees it: never back, and at 100 only at its last value.
::testing::AssertionResult Rises(const std::vector<int>& values) {
    for (std::size_t i = 1; i < values.size(); ++i)
        if (values[i] <= values[i - 1])
            return ::testing::AssertionFailure() << "moves back at " << i;
    for (std::size_t i = 0; i + 1 < values.size(); ++i)
        if (values[i] >= 100)
            return ::testing::AssertionFailure() << "reads 100 before its end, at " << i;
    return ::testing::AssertionSuccess();
}

bool Holds(const std::vector<int>& values, int value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

namespace {

// The Overall bar once `done` of `all` are saved: their share of the sizes.
int ShareOf(const std::vector<fs::path>& done, const std::vector<fs::path>& all) {
    std::uintmax_t part = 0;
    std::uintmax_t whole = 0;
    for (const fs::path& path : done)
        part += fs::file_size(path);
    for (const fs::path& path : all)
        whole += fs::file_size(path);
    return static_cast<int>(part * 100 / whole);
}

} // namespace

TEST_F(SaveWorkerTest, SaveAllWritesEveryArchiveUnderRepairAndLogsEachFolder) {
    ZipWriter deflated;
    deflated.Add({.name = "docs/readme.txt", .content = std::string(5000, 'r'), .method = 8});
    deflated.Add({.name = "empty/", .content = ""});
    deflated.AddCentralDirectory();
    const auto first = Archive("first.zip", ThreeEntryArchive());
    const auto second = Archive("second.zip", deflated.Bytes());
    UseSaveAll({first, second});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));

    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        EXPECT_EQ(Read(Repair() / "first" / name), Content(name));
    EXPECT_EQ(Read(Repair() / "second" / "docs" / "readme.txt"), std::string(5000, 'r'));
    EXPECT_EQ(LogText(), kStartLines + FolderLine(Repair() / "first") +
                             FolderLine(Repair() / "second", "Saved 1 file: 1 verified"));
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(host.calls.back(), "finished");
    EXPECT_EQ(host.entries.size(), 5u);
    // The pass counts, once, for every front end.
    EXPECT_EQ(host.pass.verdicts.verified, 4u);
    EXPECT_EQ(host.pass.verdicts.folders, 1u);
    EXPECT_TRUE(host.pass.Clean());
    EXPECT_EQ(host.pass.repairFolder, platform::DecodeLocal(Repair().string()));
    EXPECT_EQ(g_saveFileIndex, 2);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_EQ(g_savingScanActive, 0);
    // Over both archives, each weighing its size: the first done at its share.
    const std::vector<int> overall = host.Bar("overall");
    EXPECT_TRUE(Rises(overall));
    EXPECT_TRUE(Holds(overall, ShareOf({first}, {first, second})));
    EXPECT_EQ(overall.back(), 100);
    // Each source starts with its number, path and folder, and ends with
    // its totals.
    ASSERT_EQ(host.starts.size(), 2u);
    EXPECT_EQ(host.starts[1].number, 2);
    EXPECT_EQ(host.starts[1].count, 2);
    EXPECT_EQ(host.starts[1].path, platform::DecodeLocal(second.string()));
    EXPECT_EQ(host.folders,
              (std::vector<std::wstring>{platform::DecodeLocal((Repair() / "first").string()),
                                         platform::DecodeLocal((Repair() / "second").string())}));
    ASSERT_EQ(host.sources.size(), 2u);
    EXPECT_EQ(host.sources[0].found, 3u);
    EXPECT_EQ(host.sources[1].found, 2u);
}

TEST_F(SaveWorkerTest, SaveCurrentWritesOnlyThePreviewsFile) {
    const auto first = Archive("first.zip", ThreeEntryArchive());
    const auto second = Archive("second.zip", ThreeEntryArchive({"x.txt"}));
    UseSaveCurrent({first, second});
    RecordingSaveHost host(2);
    ScriptedMessageBox boxes;
    ASSERT_TRUE(RunSave(host));

    EXPECT_FALSE(fs::exists(Repair() / "first"));
    EXPECT_EQ(Read(Repair() / "second" / "x.txt"), Content("x.txt"));
    EXPECT_EQ(LogText(), kStartLines + FolderLine(Repair() / "second", "Saved 1 file: 1 verified"));
    EXPECT_TRUE(boxes.AskedTexts().empty());
    EXPECT_TRUE(host.finished);
    ASSERT_EQ(host.starts.size(), 1u);
    EXPECT_EQ(host.starts[0].number, 1);
    EXPECT_EQ(host.starts[0].count, 1);
    EXPECT_EQ(host.starts[0].path, platform::DecodeLocal(second.string()));
}

struct YesNoCase {
    const char* label;
    int answer;
    bool saved;
};

class SaveCurrentExisting : public SaveWorkerTest,
                            public ::testing::WithParamInterface<YesNoCase> {};

TEST_P(SaveCurrentExisting, AsksTheYesNoQuestion) {
    const auto source = Archive("only.zip", ThreeEntryArchive());
    UseSaveCurrent({source});
    fs::create_directories(Repair() / "only");
    RecordingSaveHost host;
    ScriptedMessageBox boxes({GetParam().answer});
    ASSERT_TRUE(RunSave(host));

    ASSERT_EQ(boxes.AskedBoxes().size(), 1u);
    const auto box = boxes.AskedBoxes()[0];
    EXPECT_EQ(box.text, L"The file already exit's, Do you want to overwrite file");
    EXPECT_EQ(box.caption, L"Kelvane for Zip");
    EXPECT_EQ(box.style, platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL);
    EXPECT_EQ(fs::exists(Repair() / "only" / "one.txt"), GetParam().saved);
    EXPECT_EQ(LogText(), kStartLines + (GetParam().saved ? FolderLines({Repair() / "only"}) : ""));
    EXPECT_TRUE(host.finished);
    // A folder kept is no success: the completion says so.
    EXPECT_EQ(host.pass.Clean(), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, SaveCurrentExisting,
                         ::testing::Values(YesNoCase{"yes", platform::IDYES, true},
                                           YesNoCase{"no", platform::IDNO, false}),
                         [](const auto& test) { return std::string(test.param.label); });

struct OverwriteCase {
    const char* label;
    int startChoice;
    std::vector<bool> exists; // which of a, b, c have a folder already
    std::deque<int> answers;  // -1: the prompt closed with Esc
    int asked;
    std::vector<bool> saved;
    int endChoice;
};

class SaveAllOverwrite : public SaveWorkerTest,
                         public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(SaveAllOverwrite, FollowsTheChoiceOfThePrompt) {
    const OverwriteCase& c = GetParam();
    std::vector<fs::path> sources;
    for (const char* name : {"a", "b", "c"})
        sources.push_back(Archive(std::string(name) + ".zip", ThreeEntryArchive()));
    UseSaveAll(sources);
    g_overwriteChoice = c.startChoice;
    for (std::size_t i = 0; i < 3; ++i)
        if (c.exists[i])
            fs::create_directories(Repair() / sources[i].stem());
    RecordingSaveHost host;
    host.overwriteAnswers = c.answers;
    ASSERT_TRUE(RunSave(host));

    EXPECT_EQ(host.asked, c.asked);
    std::vector<fs::path> logged;
    for (std::size_t i = 0; i < 3; ++i) {
        const fs::path folder = Repair() / sources[i].stem();
        EXPECT_EQ(fs::exists(folder / "one.txt"), c.saved[i]) << folder;
        // A skipped file gets no folder of its own and no log line.
        EXPECT_EQ(fs::exists(folder), c.saved[i] || c.exists[i]) << folder;
        if (c.saved[i])
            logged.push_back(folder);
    }
    EXPECT_EQ(LogText(), kStartLines + FolderLines(logged));
    EXPECT_EQ(g_overwriteChoice, c.endChoice);
    EXPECT_TRUE(host.finished);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, SaveAllOverwrite,
    ::testing::Values(
        OverwriteCase{"yesAsksAgain", 0, {true, true, false}, {1, 1}, 2, {true, true, true}, 1},
        OverwriteCase{
            "noSkipsAndAsksAgain", 0, {true, true, false}, {2, 1}, 2, {false, true, true}, 1},
        OverwriteCase{"yesToAllAsksNoMore", 0, {true, true, true}, {3}, 1, {true, true, true}, 3},
        OverwriteCase{
            "noToAllSkipsExistingOnly", 0, {true, false, true}, {4}, 1, {false, true, false}, 4},
        OverwriteCase{"noToAllFromBefore", 4, {false, true, false}, {}, 0, {true, false, true}, 4},
        OverwriteCase{"escFirstSkips", 0, {true, true, false}, {-1, 1}, 2, {false, true, true}, 1},
        OverwriteCase{
            "escAfterYesSavesAgain", 0, {true, true, false}, {1, -1}, 2, {true, true, true}, 1},
        OverwriteCase{
            "escAfterNoSkipsAgain", 2, {true, false, true}, {-1, -1}, 2, {false, true, false}, 2},
        OverwriteCase{"noFolderNoPrompt", 0, {false, false, false}, {}, 0, {true, true, true}, 0}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(SaveWorkerTest, AFileKeptByNoToAllIsToldAndStillCountsForTheOverallBar) {
    std::vector<fs::path> sources;
    for (const char* name : {"a", "b", "c"})
        sources.push_back(Archive(std::string(name) + ".zip", ThreeEntryArchive()));
    UseSaveAll(sources);
    fs::create_directories(Repair() / "b");
    RecordingSaveHost host;
    host.overwriteAnswers = {OverwriteNoToAll};
    ASSERT_TRUE(RunSave(host));
    EXPECT_EQ(host.asked, 1);
    ASSERT_EQ(host.sources.size(), 3u);
    EXPECT_EQ(host.sources[1].problem, SourceProblem::folderKept);
    // A skipped file still counts for the Overall bar.
    const std::vector<int> overall = host.Bar("overall");
    EXPECT_TRUE(Rises(overall));
    EXPECT_TRUE(Holds(overall, 33));
    EXPECT_TRUE(Holds(overall, 66));
    EXPECT_EQ(overall.back(), 100);
    EXPECT_FALSE(fs::exists(Repair() / "b" / "one.txt"));
}

struct BaseNameCase {
    const char* label;
    const char* file;
    const char* folder; // below Repair/; empty: Repair/ itself
    bool currentMode;
};

class BaseNames : public SaveWorkerTest, public ::testing::WithParamInterface<BaseNameCase> {};

TEST_P(BaseNames, NameTheOutputFolderAfterTheArchive) {
    const BaseNameCase& c = GetParam();
    const auto source = Archive(c.file, ThreeEntryArchive({"inner.txt"}));
    if (c.currentMode)
        UseSaveCurrent({source});
    else
        UseSaveAll({source});
    RecordingSaveHost host;
    // Save All makes the Repair folder first, so a name without an extension
    // always meets an existing folder there and is asked about.
    host.overwriteAnswers = {OverwriteYes};
    ASSERT_TRUE(RunSave(host));
    EXPECT_EQ(host.asked, !c.currentMode && std::string(c.folder).empty() ? 1 : 0);
    const fs::path folder = Repair() / c.folder;
    EXPECT_EQ(Read(folder / "inner.txt"), Content("inner.txt"));
    // Without an extension the folder text ends with the separator.
    const std::string expected =
        std::string(c.folder).empty() ? (Repair().string() + "/") : folder.string();
    EXPECT_EQ(host.folders, (std::vector<std::wstring>{platform::DecodeLocal(expected)}));
    EXPECT_EQ(LogText(), kStartLines + "\r\n" + expected + "\r\nSaved 1 file: 1 verified");
}

INSTANTIATE_TEST_SUITE_P(
    Names, BaseNames,
    ::testing::Values(BaseNameCase{"twoDots", "a.b.zip", "a.b", false},
                      BaseNameCase{"backup", "x.backup.zip", "x.backup", false},
                      BaseNameCase{"noExtensionAll", "noext", "noext", false},
                      BaseNameCase{"noExtensionCurrent", "noext", "noext", true},
                      BaseNameCase{"dotsOnly", "...zip", "_..", false},
                      BaseNameCase{"twoDotsCurrent", "a.b.zip", "a.b", true}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(ArchiveBaseName, CutsBeforeTheLastDotOfTheFileName) {
    EXPECT_EQ(ArchiveBaseName(L"/d/a.b.zip"), L"a.b");
    EXPECT_EQ(ArchiveBaseName(L"/d.x/noext"), L"noext");
    EXPECT_EQ(ArchiveBaseName(L"plain.zip"), L"plain");
    // A name that would leave no folder of its own, or leave Repair.
    EXPECT_EQ(ArchiveBaseName(L"/d/.hidden"), L"_");
    EXPECT_EQ(ArchiveBaseName(L"/d/.zip"), L"_");
    EXPECT_EQ(ArchiveBaseName(L"/d/..zip"), L"_.");
    EXPECT_EQ(ArchiveBaseName(L"/d/...zip"), L"_..");
    EXPECT_EQ(OutputFolderFor(L"/dest", L"/d/a.b.zip"), L"/dest/Repair/a.b");
    EXPECT_EQ(OutputFolderFor(L"/dest", L"/d/..zip"), L"/dest/Repair/_.");
}

// Entries of the given sizes (stored, so the compressed size is the size),
// then `filler` bytes without a signature.
std::string EntriesOfSizes(const std::vector<std::size_t>& sizes, std::size_t filler = 0) {
    ZipWriter zip;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        zip.Add({.name = "e" + std::to_string(i) + ".bin", .content = std::string(sizes[i], 'd')});
    if (filler > 0)
        zip.AddRaw(std::string(filler, 'x'));
    return zip.Bytes();
}

class SaveBars : public SaveWorkerTest {
protected:
    // The Current bar's values before the first extraction: the scan's.
    static std::vector<int> ScanValues(const RecordingSaveHost& host) {
        std::vector<int> values;
        for (const std::string& call : host.calls) {
            if (call == "entry")
                break;
            if (call.rfind("current ", 0) == 0)
                values.push_back(std::stoi(call.substr(8)));
        }
        return values;
    }
    // The Current bar right after each extraction.
    static std::vector<int> AfterEachEntry(const RecordingSaveHost& host) {
        std::vector<int> values;
        int current = 0;
        bool pending = false;
        for (const std::string& call : host.calls) {
            if (call == "entry") {
                if (pending)
                    values.push_back(current);
                pending = true;
            } else if (call.rfind("current ", 0) == 0) {
                current = std::stoi(call.substr(8));
            }
        }
        if (pending)
            values.push_back(current);
        return values;
    }
};

// The scan fills a bounded share of the bars and the entries the rest, by
// their sizes: the bars move while most of the work remains, never back,
// and reach 100 with the last entry. Both modes, one source.
TEST_F(SaveBars, TheScanFillsASmallShareAndTheEntriesTheRestBySize) {
    for (const bool currentMode : {false, true}) {
        // Four small entries, then one as large as all of them together
        // eight times over; filler keeps the scan from ending near 100.
        const auto source =
            Archive("sizes.zip", EntriesOfSizes({1000, 1000, 1000, 1000, 32000}, 3000));
        if (currentMode)
            UseSaveCurrent({source});
        else
            UseSaveAll({source});
        RecordingSaveHost host;
        ASSERT_TRUE(RunSave(host));
        const std::vector<int> scan = ScanValues(host);
        const int scanned = scan.empty() ? 0 : scan.back();
        EXPECT_LE(scanned, 10) << currentMode;
        const std::vector<int> after = AfterEachEntry(host);
        ASSERT_EQ(after.size(), 5u) << currentMode;
        // Four fifths of the entries, a ninth of the bytes: far from the end.
        EXPECT_GT(after[0], scanned) << currentMode;
        EXPECT_LT(after[3], 40) << currentMode;
        EXPECT_EQ(after[4], 100) << currentMode;
        EXPECT_TRUE(Rises(host.Bar("current"))) << currentMode;
        // One source: the Overall bar shows the same.
        EXPECT_EQ(host.Bar("overall"), host.Bar("current")) << currentMode;
        fs::remove_all(Repair());
    }
}

// Many small entries move the bar in small steps, none of them to 100
// before the last.
TEST_F(SaveBars, ManyEmptyEntriesStillMoveTheBarStepByStep) {
    const auto source = Archive("many.zip", EntriesOfSizes(std::vector<std::size_t>(300, 0)));
    UseSaveAll({source});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));
    const std::vector<int> after = AfterEachEntry(host);
    ASSERT_EQ(after.size(), 300u);
    EXPECT_EQ(after[149], 10 + 45);
    EXPECT_EQ(after[298], 99);
    EXPECT_EQ(after[299], 100);
    EXPECT_TRUE(Rises(host.Bar("current")));
}

// With several sources the Overall bar moves inside each archive too, each
// archive weighing its size; a source with nothing to save still counts as
// done.
TEST_F(SaveBars, SeveralSourcesShareTheOverallBar) {
    const auto small = Archive("small.zip", FillerOf(1000));
    const auto scanned = Archive("scanned.zip", FillerOf(2001));
    const auto good = Archive("good.zip", EntriesOfSizes({4000, 4000, 4000}));
    UseSaveAll({small, scanned, good});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));
    const std::vector<int> overall = host.Bar("overall");
    const int before = ShareOf({small, scanned}, {small, scanned, good});
    EXPECT_TRUE(Rises(overall));
    EXPECT_TRUE(Holds(overall, ShareOf({small}, {small, scanned, good})));
    EXPECT_TRUE(Holds(overall, before));
    EXPECT_EQ(overall.back(), 100);
    // Inside the last archive, between its start and its end.
    EXPECT_GT(std::count_if(overall.begin(), overall.end(),
                            [before](int v) { return v > before && v < 100; }),
              1);
    // Neither filler holds ZIP data, and the log says so.
    EXPECT_EQ(LogText(), kStartLines +
                             FolderLine(Repair() / "small", "Nothing saved: no ZIP data found") +
                             FolderLine(Repair() / "scanned", "Nothing saved: no ZIP data found") +
                             FolderLine(Repair() / "good"));
    // No folder is made for a file without ZIP data.
    EXPECT_FALSE(fs::exists(Repair() / "small"));
    EXPECT_EQ(Read(Repair() / "good" / "e1.bin"), std::string(4000, 'd'));
}

// ReportSaveProgress acts only while a pass runs: drive it from the host
// after the first extraction. The scan's own progress lags and creeps as
// before; the bar shows it within the scan's share.
TEST_F(SaveBars, LaggingReportsCreepEveryFourThousandth) {
    const auto source = Archive("creep.zip", EntriesOfSizes({40, 40, 40}, 2000));
    UseSaveAll({source});
    RecordingSaveHost host;
    std::vector<int> seen;
    host.onEntry = [&] {
        if (host.entries.size() != 1)
            return;
        // The scan's own lagging reports have counted too.
        g_saveProgressCreepCount = 0;
        for (int i = 0; i < 3999; ++i)
            ReportSaveProgress(0, 100);
        seen.push_back(g_saveProgressCreepCount);
        ReportSaveProgress(0, 100);
        seen.push_back(g_saveProgressCreepCount);
        // Past the end: 98 % of the scan, within the scan's share of the bar.
        ReportSaveProgress(0xFFFFFFFFu, 100);
        seen.push_back(host.Bar("current").back());
    };
    ASSERT_TRUE(RunSave(host));
    EXPECT_EQ(seen, (std::vector<int>{3999, 0, 9}));
    EXPECT_TRUE(Rises(host.Bar("current")));
}

TEST_F(SaveBars, ReportsAreIgnoredWithoutARunningPass) {
    EXPECT_EQ(ReportSaveProgress(50, 100), 0u);
}

// Save Current File or not, and where the third entry is cut: from its
// local header (30: inside its name) or from its data.
class CutArchive : public SaveWorkerTest,
                   public ::testing::WithParamInterface<std::tuple<bool, bool, int>> {};

TEST_P(CutArchive, IsSavedUpToItsCut) {
    const auto [currentMode, inData, offset] = GetParam();
    ZipWriter zip;
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        zip.Add({.name = name, .content = std::string(300, name[1])});
    std::string bytes = zip.Bytes();
    kvtest::Truncate(bytes, (inData ? zip.Entry(2).dataOffset : zip.Entry(2).headerOffset) +
                                static_cast<std::size_t>(offset));
    const auto source = Archive("cut.zip", bytes);
    if (currentMode)
        UseSaveCurrent({source});
    else
        UseSaveAll({source});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));
    EXPECT_EQ(Read(Repair() / "cut" / "one.txt"), std::string(300, 'n'));
    EXPECT_EQ(Read(Repair() / "cut" / "two.txt"), std::string(300, 'w'));
    // A stored entry keeps the bytes the archive still holds.
    if (inData) {
        EXPECT_EQ(Read(Repair() / "cut" / "three.txt"), std::string(offset, 'h'));
    }
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(g_savingScanActive, 0);
    EXPECT_EQ(g_entryCount, 0);
    // The two whole entries are verified; a third one found is cut short,
    // and the log names it after the totals.
    ASSERT_EQ(host.sources.size(), 1u);
    const VerdictTally& tally = host.sources[0].verdicts;
    EXPECT_EQ(tally.verified, 2u);
    EXPECT_EQ(tally.Files() + tally.folders, host.sources[0].found);
    EXPECT_EQ(tally.partial + tally.notSaved + tally.damaged, host.sources[0].found - 2);
    // A header cut inside its fixed part is no entry at all.
    EXPECT_EQ(host.pass.Clean(), host.sources[0].found == 2);
    const std::string log = LogText();
    EXPECT_TRUE(log.starts_with(kStartLines + "\r\n" + (Repair() / "cut").string() + "\r\n"))
        << log;
    if (inData) {
        EXPECT_TRUE(log.ends_with("\r\nSaved 3 files: 2 verified, 1 partial\r\nthree.txt : "
                                  "partial: the archive ends inside its data"))
            << log;
    }
}

INSTANTIATE_TEST_SUITE_P(Cuts, CutArchive,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(false, true),
                                            ::testing::Values(4, 20, 32, 120)),
                         [](const auto& test) {
                             return std::string(std::get<0>(test.param) ? "current" : "all") +
                                    (std::get<1>(test.param) ? "Data" : "Header") +
                                    std::to_string(std::get<2>(test.param));
                         });

// Files of this process may grow to `bytes` while it lives; writing past
// that fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_saved{};
    void (*m_signal)(int);
};

// A destination that takes a file only up to `limit` bytes, as a full disk
// does: what was written of an entry stays as a partial file, an entry of
// which nothing could be written leaves no file, and the cause is counted.
struct FullCase {
    const char* label;
    rlim_t limit;
    std::uint64_t firstOnDisk;
    Verdict firstVerdict;
    std::uint64_t stoppedByFullDestination;
};

class FullDestination : public SaveWorkerTest, public ::testing::WithParamInterface<FullCase> {};

TEST_P(FullDestination, KeepsWhatWasWrittenRemovesWhatWasNotAndNamesTheCause) {
    ZipWriter zip;
    zip.Add({.name = "one.txt", .content = kvtest::NoiseBytes(20000, 2)});
    for (const char* name : {"two.txt", "three.txt"})
        zip.Add({.name = name, .content = Content(name)});
    const auto source = Archive("full.zip", zip.Bytes());
    UseSaveAll({source});
    RecordingSaveHost host;
    {
        FileSizeLimit limit(GetParam().limit);
        ASSERT_TRUE(RunSave(host));
    }
    ASSERT_EQ(host.entries.size(), 3u);
    EXPECT_EQ(host.entries[0].outcome, ExtractReport::failed);
    EXPECT_EQ(host.entries[0].bytesWritten, GetParam().firstOnDisk);
    EXPECT_EQ(host.entries[0].verdict, GetParam().firstVerdict);
    EXPECT_NE(host.entries[0].reason, "");
    EXPECT_EQ(fs::exists(Repair() / "full" / "one.txt"), GetParam().firstOnDisk > 0);
    if (GetParam().limit > 0) {
        EXPECT_EQ(host.entries[1].verdict, Verdict::verified);
        EXPECT_EQ(Read(Repair() / "full" / "two.txt"), Content("two.txt"));
        EXPECT_EQ(Read(Repair() / "full" / "three.txt"), Content("three.txt"));
    } else {
        EXPECT_FALSE(fs::exists(Repair() / "full" / "two.txt"));
    }
    ASSERT_EQ(host.sources.size(), 1u);
    EXPECT_EQ(host.sources[0].destinationFull, GetParam().stoppedByFullDestination);
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(g_entryCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, FullDestination,
                         ::testing::Values(FullCase{"partOfTheFirstEntry", 4096, 4096,
                                                    Verdict::partial, 1},
                                           FullCase{"nothingAtAll", 0, 0, Verdict::notSaved, 3}),
                         [](const auto& test) { return std::string(test.param.label); });

TEST_F(SaveWorkerTest, AVanishedSourceIsPassedOverAndTheNextOnesSaved) {
    const auto gone = Root() / "gone.zip";
    const auto good = Archive("good.zip", ThreeEntryArchive());
    UseSaveAll({gone, good});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));
    EXPECT_EQ(Read(Repair() / "good" / "three.txt"), Content("three.txt"));
    EXPECT_EQ(LogText(), kStartLines +
                             FolderLine(Repair() / "gone", "Nothing saved: file missing") +
                             FolderLine(Repair() / "good"));
    ASSERT_EQ(host.sources.size(), 2u);
    EXPECT_EQ(host.sources[0].problem, SourceProblem::missing);
    EXPECT_FALSE(host.pass.Clean());
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(g_saveFileIndex, 2);
}

TEST_F(SaveWorkerTest, ASourceThatVanishesAfterTheProbeIsPassedOver) {
    const auto vanish = Archive("vanish.zip", std::string(300, 'x') + ThreeEntryArchive());
    const auto good = Archive("good.zip", ThreeEntryArchive());
    UseSaveAll({vanish, good});
    RecordingSaveHost host;
    // The probe has the file open; the engine opens it anew by its name.
    host.onCurrentBar = [&] {
        if (g_savingScanActive == 0 && fs::exists(vanish))
            fs::remove(vanish);
    };
    ASSERT_TRUE(RunSave(host));
    ASSERT_EQ(host.sources.size(), 2u);
    EXPECT_EQ(host.sources[0].problem, SourceProblem::unreadable);
    EXPECT_FALSE(fs::exists(Repair() / "vanish" / "one.txt"));
    EXPECT_EQ(Read(Repair() / "good" / "one.txt"), Content("one.txt"));
    EXPECT_EQ(g_savingScanActive, 0);
    EXPECT_EQ(g_entryCount, 0);
    EXPECT_TRUE(host.finished);
}

TEST_F(SaveWorkerTest, AVanishedCurrentSourceStillCompletes) {
    UseSaveCurrent({Root() / "gone.zip"});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(LogText(),
              kStartLines + FolderLine(Repair() / "gone", "Nothing saved: file missing"));
}

TEST_F(SaveWorkerTest, TheSourceIsOnlyRead) {
    const std::string bytes = ThreeEntryArchive();
    const auto source = Archive("ro.zip", bytes);
    fs::permissions(source, fs::perms::owner_read | fs::perms::group_read);
    struct stat before {};
    ASSERT_EQ(::stat(source.c_str(), &before), 0);
    UseSaveAll({source});
    RecordingSaveHost host;
    ASSERT_TRUE(RunSave(host));
    struct stat after {};
    ASSERT_EQ(::stat(source.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(Read(source), bytes);
    EXPECT_EQ(Read(Repair() / "ro" / "one.txt"), Content("one.txt"));
}

TEST_F(SaveWorkerTest, APausedWorkerHaltsBetweenEntriesAndGoesOnWhenResumed) {
    const auto source = Archive("pause.zip", ThreeEntryArchive());
    UseSaveAll({source});
    RecordingSaveHost host;
    platform::WorkerThread worker;
    host.onEntry = [&] {
        if (host.entries.size() == 1)
            worker.Gate().Pause();
    };
    ASSERT_TRUE(worker.Start(
        [&host](platform::WorkerGate& gate) { return static_cast<int>(SaveWorker(host, gate)); }));
    platform::GateState state = platform::GateState::Running;
    while (state == platform::GateState::Running)
        state = worker.Gate().WaitUntilHalted();
    ASSERT_EQ(state, platform::GateState::Halted);
    EXPECT_TRUE(fs::exists(Repair() / "pause" / "one.txt"));
    EXPECT_FALSE(fs::exists(Repair() / "pause" / "two.txt"));
    worker.Gate().Resume();
    EXPECT_EQ(worker.Join(), platform::WorkerEnding::Completed);
    EXPECT_EQ(worker.ExitCode(), 1);
    EXPECT_EQ(Read(Repair() / "pause" / "three.txt"), Content("three.txt"));
}

// On three threads the pass writes the same files and gives the same
// events and log as on one: a damaged archive, then one of many
// entries in folders, deflated and stored.
TEST_F(SaveWorkerTest, ThreadsSaveWhatOneThreadSaves) {
    ZipWriter many;
    for (int i = 0; i < 60; ++i)
        many.Add({.name = "d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".txt",
                  .content = std::string(200 + 500 * i, static_cast<char>('a' + i % 26)),
                  .method = static_cast<std::uint16_t>(i % 2 == 0 ? 8 : 0)});
    std::string cut = ThreeEntryArchive();
    kvtest::FlipByte(cut, cut.size() / 2, 0x10);
    kvtest::Truncate(cut, cut.size() - 40);
    UseSaveAll({Archive("cut.zip", cut), Archive("many.zip", many.Bytes())});
    std::vector<std::string> calls[2];
    std::string logs[2];
    for (unsigned threads : {1u, 3u}) {
        fs::remove_all(Repair());
        const std::size_t logged = LogText().size();
        // The scan's bar as in a fresh run.
        g_saveProgressCreepCount = 0;
        RecordingSaveHost host;
        host.threads = threads;
        ASSERT_TRUE(RunSave(host));
        // Where the bars stand between entries depends on which thread
        // reports first; every other event must be the same.
        for (const std::string& call : host.calls)
            if (!call.starts_with("current ") && !call.starts_with("overall "))
                calls[threads > 1].push_back(call);
        logs[threads > 1] = LogText().substr(logged);
        for (int i = 0; i < 60; ++i)
            EXPECT_EQ(Read(Repair() / "many" / ("d" + std::to_string(i % 5)) /
                           ("f" + std::to_string(i) + ".txt")),
                      std::string(200 + 500 * i, static_cast<char>('a' + i % 26)));
    }
    EXPECT_EQ(calls[1], calls[0]);
    EXPECT_EQ(logs[1], logs[0]);
}

// A stop on threads begins no further entry: the entries reported are a
// run from the first, each file whole, nothing written past them, and the
// log holds their totals before the pass unwinds.
TEST_F(SaveWorkerTest, AStopOnThreadsReportsEveryEntryBegun) {
    ZipWriter zip;
    for (int i = 0; i < 200; ++i)
        zip.Add({.name = "f" + std::to_string(i), .content = std::string(3000, 'q'), .method = 8});
    UseSaveAll({Archive("stop.zip", zip.Bytes())});
    RecordingSaveHost host;
    host.threads = 3;
    platform::WorkerThread worker;
    host.onEntry = [&] {
        if (host.entries.size() == 4)
            worker.Gate().Stop();
    };
    ASSERT_TRUE(worker.Start(
        [&host](platform::WorkerGate& gate) { return static_cast<int>(SaveWorker(host, gate)); }));
    EXPECT_EQ(worker.Join(), platform::WorkerEnding::Stopped);
    ASSERT_GE(host.entries.size(), 4u);
    EXPECT_LT(host.entries.size(), 200u);
    for (std::size_t i = 0; i < host.entries.size(); ++i) {
        EXPECT_EQ(host.entries[i].name, L"f" + std::to_wstring(i));
        EXPECT_EQ(Read(Repair() / "stop" / ("f" + std::to_string(i))), std::string(3000, 'q'));
    }
    EXPECT_FALSE(fs::exists(Repair() / "stop" / ("f" + std::to_string(host.entries.size()))));
    const std::string n = std::to_string(host.entries.size());
    EXPECT_EQ(LogText(), kStartLines + FolderLine(Repair() / "stop",
                                                  "Saved " + n + " files: " + n + " verified"));
}

// Pause and Stop reach the worker between two chunks of a large entry: it
// halts there, and a stop keeps the entry's partial file and reports it.
TEST_F(SaveWorkerTest, PauseAndStopReachTheWorkerInsideAnEntry) {
    constexpr std::uint32_t kSize = 512u << 20;
    UseSaveAll({SparseArchive("huge.zip", "huge.bin", kSize)});
    const fs::path output = Repair() / "huge" / "huge.bin";
    RecordingSaveHost host;
    platform::WorkerThread worker;
    ASSERT_TRUE(worker.Start(
        [&host](platform::WorkerGate& gate) { return static_cast<int>(SaveWorker(host, gate)); }));
    while (!fs::exists(output) && worker.Gate().Ending() == platform::WorkerEnding::Running)
        std::this_thread::yield();
    worker.Gate().Pause();
    platform::GateState state = platform::GateState::Running;
    while (state == platform::GateState::Running)
        state = worker.Gate().WaitUntilHalted();
    ASSERT_EQ(state, platform::GateState::Halted);
    EXPECT_TRUE(host.entries.empty());
    worker.Gate().Stop();
    EXPECT_EQ(worker.Join(), platform::WorkerEnding::Stopped);
    ASSERT_EQ(host.entries.size(), 1u);
    EXPECT_EQ(host.entries[0].outcome, ExtractReport::partial);
    EXPECT_LT(host.entries[0].bytesWritten, kSize);
    EXPECT_EQ(fs::file_size(output), host.entries[0].bytesWritten);
    EXPECT_FALSE(host.finished);
    EXPECT_EQ(g_savingScanActive, 0);
    g_savingArchive.CloseArchive(true);
    g_entryCount = 0;
}

TEST_F(SaveWorkerTest, StopBetweenEntriesKeepsWhatWasWritten) {
    const auto source = Archive("stop.zip", ThreeEntryArchive());
    UseSaveAll({source});
    platform::WorkerGate gate;
    RecordingSaveHost host;
    host.onEntry = [&] { gate.Stop(); };
    EXPECT_FALSE(RunSave(host, &gate));
    EXPECT_EQ(Read(Repair() / "stop" / "one.txt"), Content("one.txt"));
    EXPECT_FALSE(fs::exists(Repair() / "stop" / "two.txt"));
    EXPECT_FALSE(host.finished);
    EXPECT_EQ(g_savingScanActive, 0);
    g_savingArchive.CloseArchive(true);
    g_entryCount = 0;
}

} // namespace
