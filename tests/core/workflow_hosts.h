// Hosts for the repair passes that record every call in order, and a fixture
// that gives each test its own log file and a clean repair state.
#pragma once

#include "log_test_folder.h"
#include "platform/worker_gate.h"
#include "workflow/analysis_host.h"
#include "workflow/save_host.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class RecordingAnalysisHost : public AnalysisHost {
public:
    explicit RecordingAnalysisHost(int fileNumber = 1) : fileNumber(fileNumber) {}

    int CurrentFileNumber() override;
    int EntryRowCount() override;
    void DeleteAllEntryRows() override;
    void InsertEntryRow(int row, const EntryRow& entry) override;
    void SetListedCount(const std::wstring& text) override;
    void SetBarPosition(int position) override;
    void AnalysisFinished() override;
    void ArchiveError(const std::wstring& reason) override;

    // Every call, e.g. "bar 12", "row 0 a.txt", "count 1", "finished".
    std::vector<std::string> calls;
    std::vector<int> bars;
    std::vector<EntryRow> rows;
    std::vector<std::wstring> errors;
    std::wstring listedCount;
    int fileNumber;
    // Runs after a row was inserted, on the worker's thread.
    std::function<void()> onRow;
    // Runs after the bar moved.
    std::function<void(int)> onBar;
};

class RecordingSaveHost : public SaveHost {
public:
    explicit RecordingSaveHost(int fileNumber = 1) : fileNumber(fileNumber) {}

    int CurrentFileNumber() override;
    void SetSourcePathLabel(const std::wstring& text) override;
    void SetFileNumberLabel(const std::wstring& text) override;
    void SetFileCountLabel(const std::wstring& text) override;
    void SetOutputFolderLabel(const std::wstring& text) override;
    void SetCurrentBar(int position) override;
    void SetOverallBar(int position) override;
    void StopTimer() override;
    void StartTimer() override;
    void AskOverwrite() override;
    void SaveFinished() override;
    void ArchiveError(const std::wstring& reason) override;
    void EntrySaved(const ExtractReport& report, const std::wstring& error) override;

    // Every call, e.g. "current 40", "overall 73", "entry", "ask", "finished".
    std::vector<std::string> calls;
    std::vector<std::wstring> folders;
    std::vector<std::wstring> errors;
    std::vector<ExtractReport> entries;
    // Per entry: the error that ended its extraction, or empty.
    std::vector<std::wstring> entryErrors;
    // The prompt's answers in order: a g_overwriteChoice value, or -1 for a
    // prompt closed with Esc (the choice stays as it was).
    std::deque<int> overwriteAnswers;
    int asked = 0;
    bool finished = false;
    int fileNumber;
    // Runs after an entry was extracted, on the worker's thread.
    std::function<void()> onEntry;
    // Runs after the Current bar moved.
    std::function<void()> onCurrentBar;

    // The bar values in the order they were set, for one bar ("current" or
    // "overall").
    std::vector<int> Bar(const std::string& which) const;
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
