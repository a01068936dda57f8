// Hosts for the repair passes that record every call in order, and a fixture
// that gives each test its own log file and a clean repair state.
#pragma once

#include "platform/worker_gate.h"
#include "tests/support/log_test_folder.h"
#include "workflow/analysis_host.h"
#include "workflow/save_host.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Records the events of an analysis in order.
class RecordingAnalysisHost : public AnalysisHost {
public:
    explicit RecordingAnalysisHost(int number = 1) : fileNumber(number) {}

    int CurrentFileNumber() override;
    void SourceStarted(const SourceStart& source) override;
    // One call per batch of rows.
    void EntriesListed(std::vector<EntryRow> batch) override;
    void Progress(const PassProgress& progress) override;
    void SourceDone(const SourceTotals& totals) override;
    void PassDone(const PassTotals& totals) override;

    // Every event, e.g. "start 1", "bar 12", "rows 3", "done 3", "finished".
    std::vector<std::string> calls;
    std::vector<int> bars;
    std::vector<EntryRow> rows;
    // The source's totals once it is done.
    SourceTotals source;
    // The counter as the preview shows it at the end: the number listed.
    std::wstring listedCount;
    int fileNumber;
    // Runs after a batch of rows was added, on the worker's thread.
    std::function<void()> onRows;
    // Runs after the bar moved.
    std::function<void(int)> onBar;
};

// Records the events of a saving pass in order.
class RecordingSaveHost : public SaveHost {
public:
    explicit RecordingSaveHost(int number = 1) : fileNumber(number) {}

    int CurrentFileNumber() override;
    void SourceStarted(const SourceStart& source) override;
    void Progress(const PassProgress& progress) override;
    void AskOverwrite() override;
    void EntrySaved(const ExtractReport& report) override;
    unsigned DecodingThreads() override { return threads; }
    void SourceDone(const SourceTotals& totals) override;
    void PassDone(const PassTotals& totals) override;

    // Every event, e.g. "start 1/2", "current 40", "overall 73" (for the bar
    // that moved), "entry", "ask", "done", "finished".
    std::vector<std::string> calls;
    std::vector<SourceStart> starts;
    std::vector<std::wstring> folders;
    std::vector<ExtractReport> entries;
    std::vector<SourceTotals> sources;
    PassTotals pass;
    // The prompt's answers in order: a g_overwriteChoice value, or -1 for a
    // prompt closed with Esc (the choice stays as it was).
    std::deque<int> overwriteAnswers;
    int asked = 0;
    bool finished = false;
    int fileNumber;
    unsigned threads = 1;
    // Runs after an entry was extracted, on the worker's thread.
    std::function<void()> onEntry;
    // Runs after the Current bar moved.
    std::function<void()> onCurrentBar;

    // The bar values in the order they were set, for one bar ("current" or
    // "overall").
    std::vector<int> Bar(const std::string& which) const;

private:
    PassProgress m_bars;
};

// Resets the repair state, points the activity log at a private file and
// gives each test a temp folder.
class WorkflowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path Root() const { return m_folder.Root(); }
    std::filesystem::path LogFile() const { return m_folder.Root() / "Activity Log.txt"; }
    std::string LogText() const;
    // Writes `bytes` as Root()/name and returns its path.
    std::filesystem::path Archive(const std::string& name, const std::string& bytes) const;
    // Root()/file: one stored entry `entry` of `size` zero bytes, written
    // sparse so that a large entry costs no disk space.
    std::filesystem::path SparseArchive(const std::string& file, const std::string& entry,
                                        std::uint32_t size) const;
    // Sets g_sourceFiles and g_sourceFileCount.
    static void SetSources(const std::vector<std::filesystem::path>& paths);

    // Runs a pass on this thread with a fresh gate; true when it ran to its
    // end, false when the gate stopped it.
    static bool RunAnalysis(RecordingAnalysisHost& host, platform::WorkerGate* gate = nullptr);
    static bool RunSave(RecordingSaveHost& host, platform::WorkerGate* gate = nullptr);

private:
    LogTestFolder m_folder;
};

// Three stored entries of the given names, each holding its own name, in a
// sound archive with a central directory.
std::string ThreeEntryArchive(const std::vector<std::string>& names = {"one.txt", "two.txt",
                                                                       "three.txt"});
