#include "workflow/analysis_worker.h"

#include "engine/debris.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "platform/message_box.h"
#include "platform/worker_gate.h"
#include "workflow/analysis_format.h"
#include "workflow/analysis_host.h"
#include "workflow/bar_position.h"
#include "workflow/pass_run.h"
#include "workflow/repair_state.h"

#include <chrono>
#include <string>
#include <utility>
#include <vector>

std::chrono::milliseconds g_entryRowBatchTime{50};

namespace {

// Collects the rows the worker lists and hands them to the host a batch at a
// time.
class RowBatch {
public:
    explicit RowBatch(AnalysisHost& host) : m_host(host) {}

    void Add(EntryRow row) {
        m_rows.push_back(std::move(row));
        if (Clock::now() - m_since >= g_entryRowBatchTime)
            Flush();
    }
    void Flush() {
        if (m_rows.empty())
            return;
        m_host.EntriesListed(std::exchange(m_rows, {}));
        m_since = Clock::now();
    }

private:
    using Clock = std::chrono::steady_clock;

    AnalysisHost& m_host;
    std::vector<EntryRow> m_rows;
    Clock::time_point m_since = Clock::now();
};

// The pass that ReportAnalysisProgress moves, while one runs.
struct AnalysisRun : PassRun {
    AnalysisRun(AnalysisHost& passHost, platform::WorkerGate& workerGate)
        : PassRun(workerGate), host(passHost), bar([&passHost](int position) {
              passHost.Progress({position, position});
          }) {}

    // The bar shows the scan within its share, never moving back.
    void Scanned(int percent) override {
        scanPercent = percent;
        bar.Raise(ScanSharePosition(percent));
    }

    AnalysisHost& host;
    BarPosition bar;
};

AnalysisRun* g_analysisRun = nullptr;

// The analysis bar may reach 99 while the scan runs.
constexpr ScanPace kAnalysisPace{2000, 99};

// Opens the archive and lists its entries; the list keeps what was found
// before an error in the scan.
void ListEntries(AnalysisRun& run, const std::wstring& path) {
    const bool readable =
        ScanSource(run, g_analysisArchive, path, g_analysisScanActive, &ReportAnalysisProgress);

    const int count = g_entryCount;
    int listed = 0;
    RowBatch batch(run.host);
    bool debris = false;
    for (int i = 0; readable && i < count; ++i) {
        // A pause or a stop shows every row listed before it.
        if (run.gate.AttentionWanted())
            batch.Flush();
        run.gate.Checkpoint();
        const bool fetched = g_analysisArchive.FetchEntryInfo(g_previewHeader, i);
        // Every entry moves the bar, listed or not; 100 comes with the last.
        run.bar.Raise(EntriesPosition(static_cast<std::uint64_t>(i + 1),
                                      static_cast<std::uint64_t>(count), i + 1 == count));
        // The preview lists exactly what the saving pass will try to write.
        if (!fetched || IsDebris(g_previewHeader)) {
            debris = true;
            continue;
        }
        batch.Add(MakeEntryRow(g_previewHeader));
        ++listed;
        run.source.found = static_cast<std::uint64_t>(listed);
    }
    batch.Flush();
    if (readable) {
        Log(L"Number Of Files Extracted  :      ");
        Log(std::to_wstring(listed));
        Log(L"\r\n");
        Log(L"\r\n");
        Log(L"\r\n");
        if (listed == 0 && run.source.error.empty())
            run.source.problem = debris ? SourceProblem::noEntries : SourceProblem::noZipData;
    }
    g_analysisArchive.CloseArchive(true);
    g_entryCount = 0;
}

// Probes the file, then lists it when it holds a local header.
void Analyse(AnalysisRun& run, const std::wstring& path) {
    const ProbedSource probe =
        ProbeSource(run, g_scanFile, path, CFile::shareDenyRead, g_signatureFound);
    if (probe.outcome == ProbeOutcome::notOpened)
        platform::MessageBox(nullptr, L"File is already open ,Please close the file", g_appTitle,
                             platform::MB_OK | platform::MB_ICONQUESTION |
                                 platform::MB_SYSTEMMODAL);
    if (probe.outcome == ProbeOutcome::notOpened || probe.outcome == ProbeOutcome::unreadable)
        return;
    g_scanLength = probe.length;
    if (probe.outcome == ProbeOutcome::tooShort)
        return;
    const bool hit = probe.outcome == ProbeOutcome::found;
    g_scanOffset = hit ? probe.header : g_scanLength;
    if (hit)
        ListEntries(run, path);
    ReportAnalysisProgress(10, 10);
}

} // namespace

int AnalysisWorker(AnalysisHost& host, platform::WorkerGate& gate) {
    AnalysisRun run(host, gate);
    RunScope scope(g_analysisRun, run);

    const int number = host.CurrentFileNumber();
    const std::wstring path = GetSourcePath(number - 1);
    g_currentSourcePath = path;
    // The saving of the file before may have left its folder line open.
    StartActivityLogLine();
    Log(L"File Number :      ");
    Log(std::to_wstring(number));
    Log(L"\r\n");
    Log(L"File Name   :      ");
    Log(path);
    Log(L"\r\n");
    run.source.source = {number, g_sourceFileCount, path, {}};
    host.SourceStarted(run.source.source);

    if (GetPathKind(path) == PathKind::file)
        Analyse(run, path);
    else
        run.source.problem = SourceProblem::missing;

    host.SourceDone(run.source);
    PassTotals pass;
    pass.Add(run.source);
    // The dialog closes at the paint after these: the host's last call.
    g_closeAnalysisDlg = 1;
    g_reapAnalysisThread = 1;
    host.PassDone(pass);
    return 0;
}

unsigned ReportAnalysisProgress(std::uint64_t position, std::uint64_t total) {
    FollowScanReport(g_analysisRun, position, total, g_progressCreepCount, kAnalysisPace);
    return 0;
}
