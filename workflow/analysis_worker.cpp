#include "workflow/analysis_worker.h"

#include "engine/debris.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "engine/zip_exception.h"
#include "log/activity_log.h"
#include "platform/message_box.h"
#include "platform/worker_gate.h"
#include "workflow/analysis_format.h"
#include "workflow/analysis_host.h"
#include "workflow/bar_position.h"
#include "workflow/repair_state.h"
#include "workflow/signature_probe.h"

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
struct AnalysisRun {
    AnalysisRun(AnalysisHost& host, platform::WorkerGate& gate)
        : host(host), gate(gate), bar([&host](int position) {
              host.Progress({position, position});
          }) {}

    // The scan stands at `percent` of the file: the bar shows it within the
    // scan's share, never moving back.
    void Scanned(int percent) {
        scanPercent = percent;
        bar.Raise(ScanSharePosition(percent));
    }

    AnalysisHost& host;
    platform::WorkerGate& gate;
    BarPosition bar;
    // The scan's own progress through the file.
    int scanPercent = 0;
    SourceTotals source;
};

AnalysisRun* g_analysisRun = nullptr;

class RunScope {
public:
    explicit RunScope(AnalysisRun& run) { g_analysisRun = &run; }
    ~RunScope() { g_analysisRun = nullptr; }
};

// g_analysisScanActive is 1 exactly while the worker is inside the engine,
// also when a stop unwinds it from there.
class ScanActiveScope {
public:
    ScanActiveScope() { g_analysisScanActive = 1; }
    ~ScanActiveScope() { g_analysisScanActive = 0; }
};

void Log(const std::wstring& text) {
    WriteActivityLog(text);
}

// Opens the archive and lists its entries; the list keeps what was found
// before an error in the scan.
void ListEntries(AnalysisRun& run, const std::wstring& path) {
    bool readable = true;
    {
        ScanActiveScope scanning;
        try {
            g_analysisArchive.OpenArchive(path, 0);
        } catch (const CZipException& e) {
            // A header cut short: the entries before it are still listed.
            run.source.error = e.GetReason();
        } catch (const CFileException& e) {
            run.source.error = e.GetReason();
            run.source.problem = SourceProblem::unreadable;
            readable = false;
        }
    }

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
    // Opened for reading only: the user's file is never changed.
    CFileException error(CFileException::none, 0, path);
    if (!g_scanFile.Open(path, CFile::modeRead | CFile::shareDenyRead, &error)) {
        run.source.problem = SourceProblem::unreadable;
        run.source.error = error.GetReason();
        platform::MessageBox(nullptr, L"File is already open ,Please close the file", g_appTitle,
                             platform::MB_OK | platform::MB_ICONQUESTION |
                                 platform::MB_SYSTEMMODAL);
        return;
    }
    try {
        g_scanLength = g_scanFile.GetLength();
    } catch (const CFileException& e) {
        run.source.problem = SourceProblem::unreadable;
        run.source.error = e.GetReason();
        g_scanFile.Close();
        return;
    }
    // Too short to hold anything worth scanning.
    run.source.problem = SourceProblem::noZipData;
    if (g_scanLength <= 100) {
        g_scanFile.Close();
        return;
    }
    g_signatureFound = 0;
    std::uint64_t found = 0;
    const bool hit = ProbeForLocalHeader(
        g_scanFile, g_scanLength, run.gate, [&run](int p) { run.Scanned(p); }, found);
    g_scanOffset = hit ? found : g_scanLength;
    if (hit)
        g_signatureFound = 1;
    g_scanFile.Close();
    if (hit) {
        run.source.problem = SourceProblem::none;
        ListEntries(run, path);
    }
    ReportAnalysisProgress(10, 10);
}

} // namespace

int AnalysisWorker(AnalysisHost& host, platform::WorkerGate& gate) {
    g_analysisProgressSink = &ReportAnalysisProgress;
    AnalysisRun run(host, gate);
    RunScope scope(run);

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

    if (GetPathKind(path) == 1)
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
    AnalysisRun* run = g_analysisRun;
    if (run == nullptr)
        return 0;
    run->gate.Checkpoint();
    int value =
        LaggingReportPosition(position, total, run->scanPercent, g_progressCreepCount, 2000);
    if (value >= 100)
        value = 99;
    run->Scanned(value);
    run->gate.Checkpoint();
    return 0;
}
