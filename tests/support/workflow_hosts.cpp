#include "tests/support/workflow_hosts.h"

#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "platform/text.h"
#include "tests/support/zip_writer.h"
#include "workflow/analysis_worker.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_state.h"
#include "workflow/save_state.h"
#include "workflow/save_worker.h"

namespace fs = std::filesystem;

int RecordingAnalysisHost::CurrentFileNumber() {
    return fileNumber;
}

void RecordingAnalysisHost::SourceStarted(const SourceStart& started) {
    calls.push_back("start " + std::to_string(started.number));
    rows.clear();
}

void RecordingAnalysisHost::EntriesListed(std::vector<EntryRow> batch) {
    calls.push_back("rows " + std::to_string(batch.size()));
    rows.insert(rows.end(), std::make_move_iterator(batch.begin()),
                std::make_move_iterator(batch.end()));
    if (onRows)
        onRows();
}

void RecordingAnalysisHost::Progress(const PassProgress& progress) {
    calls.push_back("bar " + std::to_string(progress.current));
    bars.push_back(progress.current);
    if (onBar)
        onBar(progress.current);
}

void RecordingAnalysisHost::SourceDone(const SourceTotals& totals) {
    calls.push_back("done " + std::to_string(totals.found));
    source = totals;
    listedCount = std::to_wstring(totals.found);
}

void RecordingAnalysisHost::PassDone(const PassTotals&) {
    calls.push_back("finished");
}

int RecordingSaveHost::CurrentFileNumber() {
    return fileNumber;
}

void RecordingSaveHost::SourceStarted(const SourceStart& source) {
    calls.push_back("start " + std::to_string(source.number) + "/" + std::to_string(source.count));
    starts.push_back(source);
    folders.push_back(source.outputFolder);
}

void RecordingSaveHost::Progress(const PassProgress& progress) {
    if (progress.overall != m_bars.overall)
        calls.push_back("overall " + std::to_string(progress.overall));
    const bool currentMoved = progress.current != m_bars.current;
    if (currentMoved)
        calls.push_back("current " + std::to_string(progress.current));
    m_bars = progress;
    if (currentMoved && onCurrentBar)
        onCurrentBar();
}

void RecordingSaveHost::AskOverwrite() {
    calls.push_back("ask");
    ++asked;
    if (overwriteAnswers.empty())
        return;
    const int answer = overwriteAnswers.front();
    overwriteAnswers.pop_front();
    if (answer >= 0)
        g_overwriteChoice = answer;
}

void RecordingSaveHost::EntrySaved(const ExtractReport& report) {
    calls.push_back("entry");
    entries.push_back(report);
    if (onEntry)
        onEntry();
}

void RecordingSaveHost::SourceDone(const SourceTotals& totals) {
    calls.push_back("done");
    sources.push_back(totals);
}

void RecordingSaveHost::PassDone(const PassTotals& totals) {
    calls.push_back("finished");
    pass = totals;
    finished = true;
}

std::vector<int> RecordingSaveHost::Bar(const std::string& which) const {
    std::vector<int> values;
    const std::string prefix = which + " ";
    for (const std::string& call : calls)
        if (call.rfind(prefix, 0) == 0)
            values.push_back(std::stoi(call.substr(prefix.size())));
    return values;
}

void WorkflowTest::SetUp() {
    SetActivityLogFile(LogFile().wstring());
    FreeSourceFiles();
    g_sourceFileCount = 0;
    g_repairMode = 0;
    g_entryCount = 0;
    g_skipPreview = 0;
    g_saveCurrentOnly = 0;
    g_saveAllFolder.clear();
    g_saveCurrentFolder.clear();
    g_overwriteChoice = OverwriteNotAsked;
    g_progressCreepCount = 0;
    g_saveProgressCreepCount = 0;
    g_appTitle = L"Kelvane for Zip";
}

void WorkflowTest::TearDown() {
    SetActivityLogFile({});
    FreeSourceFiles();
    g_sourceFileCount = 0;
}

std::string WorkflowTest::LogText() const {
    return LogTestFolder::Read(LogFile());
}

fs::path WorkflowTest::Archive(const std::string& name, const std::string& bytes) const {
    const fs::path path = Root() / name;
    kvtest::WriteFileBytes(path, bytes);
    return path;
}

fs::path WorkflowTest::SparseArchive(const std::string& file, const std::string& entry,
                                     std::uint32_t size) const {
    const std::string header = kvtest::LocalHeaderBytes(
        20, 0, 0, 0, 0, 1, size, size, entry, static_cast<std::uint16_t>(entry.size()), "", 0);
    const fs::path path = Archive(file, header);
    fs::resize_file(path, header.size() + size);
    return path;
}

void WorkflowTest::SetSources(const std::vector<fs::path>& paths) {
    FreeSourceFiles();
    for (const fs::path& path : paths)
        AppendSourceFile(platform::DecodeLocal(path.string()));
    g_sourceFileCount = static_cast<int>(paths.size());
}

bool WorkflowTest::RunAnalysis(RecordingAnalysisHost& host, platform::WorkerGate* gate) {
    platform::WorkerGate own;
    try {
        AnalysisWorker(host, gate ? *gate : own);
        return true;
    } catch (const platform::WorkerStopped&) {
        return false;
    }
}

bool WorkflowTest::RunSave(RecordingSaveHost& host, platform::WorkerGate* gate) {
    platform::WorkerGate own;
    try {
        SaveWorker(host, gate ? *gate : own);
        return true;
    } catch (const platform::WorkerStopped&) {
        return false;
    }
}

std::string ThreeEntryArchive(const std::vector<std::string>& names) {
    kvtest::ZipWriter zip;
    for (const std::string& name : names)
        zip.Add({.name = name, .content = "content of " + name + std::string(80, '.')});
    zip.AddCentralDirectory();
    return zip.Bytes();
}
