#include "workflow/save_worker.h"

#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "platform/worker_gate.h"
#include "workflow/bar_position.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_state.h"
#include "workflow/save_host.h"
#include "workflow/save_state.h"
#include "workflow/signature_probe.h"

#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace {

// Entries are written in chunks of this size.
constexpr std::uint32_t kChunkSize = 65535;

// The entries fill the Current bar by their compressed sizes, each counted
// this much larger for the file it creates, so that many small files move
// the bar too.
constexpr std::uint64_t kEntryWeight = 512;

// The bars of a pass. The Current bar runs from 0 to 100 over one archive
// and never moves back within it; the Overall bar spreads the archives'
// Current bars over its whole width and never moves back at all. Neither
// reads 100 before the last entry is written.
struct SaveRun {
    SaveRun(SaveHost& host, platform::WorkerGate& gate)
        : host(host), gate(gate), current([&host](int p) { host.SetCurrentBar(p); }),
          overall([&host](int p) { host.SetOverallBar(p); }) {}

    // Archive `index` of `count` (the Overall bar's share) begins.
    void StartFile(int index, int count) {
        fileIndex = index;
        fileCount = count > 0 ? count : 1;
        scanPercent = 0;
        current.Set(0);
    }
    void Advance(int position) {
        current.Raise(position);
        overall.Raise((fileIndex * 100 + current.Get()) / fileCount);
    }
    // The scan stands at `percent` of the file.
    void Scanned(int percent) {
        scanPercent = percent;
        Advance(ScanSharePosition(percent));
    }
    // The archive is done with, saved or passed over.
    void FinishFile() { overall.Raise((fileIndex + 1) * 100 / fileCount); }

    SaveHost& host;
    platform::WorkerGate& gate;
    BarPosition current;
    BarPosition overall;
    int fileIndex = 0;
    int fileCount = 1;
    // The scan's own progress through the file, 0 to 98.
    int scanPercent = 0;
};

SaveRun* g_saveRun = nullptr;

class RunScope {
public:
    explicit RunScope(SaveRun& run) { g_saveRun = &run; }
    ~RunScope() { g_saveRun = nullptr; }
};

class ScanActiveScope {
public:
    ScanActiveScope() { g_savingScanActive = 1; }
    ~ScanActiveScope() { g_savingScanActive = 0; }
};

void Log(const std::wstring& text) {
    WriteActivityLog(text);
}

bool Exists(const std::wstring& path) {
    return GetPathKind(path) != 0;
}

// One level only; missing parents are made by the extraction.
void MakeFolder(const std::wstring& path) {
    ::mkdir(platform::EncodeLocal(path).c_str(), 0777);
}

// Opens the archive and extracts every entry it holds; an entry that fails
// is given up and the next ones are still tried.
void ExtractAll(SaveRun& run, std::uint64_t archiveLength) {
    {
        ScanActiveScope scanning;
        try {
            g_savingArchive.OpenArchive(g_saveSourcePath, 0);
        } catch (const CException& e) {
            // The entries found before the error are still extracted.
            run.host.ArchiveError(e.GetReason());
        }
    }
    // A size claimed past the end of the file counts as the rest of the file.
    std::vector<std::uint64_t> weights;
    std::uint64_t totalWeight = 0;
    for (int k = 0; k < g_entryCount; ++k) {
        const std::uint64_t size =
            g_savingArchive.m_centralDir[static_cast<std::size_t>(k)].compressedSize;
        weights.push_back(std::min(size, archiveLength) + kEntryWeight);
        totalWeight += weights.back();
    }
    std::uint64_t doneWeight = 0;
    for (int k = 0; k < g_entryCount; ++k) {
        run.gate.Checkpoint();
        ExtractReport report;
        std::wstring error;
        try {
            g_savingArchive.ExtractEntryTo(static_cast<std::size_t>(k), g_saveOutputFolder,
                                           kChunkSize, &report);
        } catch (const CException& e) {
            // The engine has released the entry; what was written stays.
            report.outcome = ExtractReport::failed;
            error = e.GetReason();
        }
        run.host.EntrySaved(report, error);
        if (static_cast<std::size_t>(k) < weights.size())
            doneWeight += weights[static_cast<std::size_t>(k)];
        run.Advance(EntriesPosition(doneWeight, totalWeight, k + 1 >= g_entryCount));
    }
    g_entryCount = 0;
    g_savingArchive.CloseArchive(true);
}

// Probes the source file and, when it holds a local header, saves it. A
// file too short to be scanned is passed over.
void SaveSource(SaveRun& run) {
    CFile source;
    CFileException error(CFileException::none, 0, g_saveSourcePath);
    if (!source.Open(g_saveSourcePath, CFile::modeRead | CFile::shareDenyNone, &error)) {
        run.host.ArchiveError(error.GetReason());
        return;
    }
    std::uint64_t length = 0;
    try {
        length = source.GetLength();
    } catch (const CFileException& e) {
        run.host.ArchiveError(e.GetReason());
        return;
    }
    if (length <= 100)
        return;
    g_saveSignatureFound = 0;
    std::uint64_t found = 0;
    const bool hit = ProbeForLocalHeader(
        source, length, run.gate, [&run](int p) { run.Scanned(p); }, found);
    source.Close();
    if (hit) {
        g_saveSignatureFound = 1;
        ExtractAll(run, length);
    }
}

// A source that has gone since it was chosen is passed over like an empty one.
void SaveIfPresent(SaveRun& run) {
    if (GetPathKind(g_saveSourcePath) == 1)
        SaveSource(run);
    else
        run.host.ArchiveError(L"the file no longer exists");
}

void SaveCurrentFile(SaveRun& run) {
    run.StartFile(0, 1);
    g_saveSourcePath = GetSourcePath(run.host.CurrentFileNumber() - 1);
    run.host.SetFileNumberLabel(L"1");
    run.host.SetFileCountLabel(L"1");
    run.host.SetSourcePathLabel(g_saveSourcePath);
    g_saveOutputFolder = OutputFolderFor(g_saveCurrentFolder, g_saveSourcePath);
    run.host.SetOutputFolderLabel(g_saveOutputFolder);

    bool save = true;
    if (Exists(g_saveOutputFolder)) {
        run.host.StopTimer();
        save = platform::MessageBox(
                   nullptr, L"The file already exit's, Do you want to overwrite file", g_appTitle,
                   platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL) ==
               platform::IDYES;
    }
    run.host.StartTimer();
    if (save) {
        Log(L"\r\n");
        Log(g_saveOutputFolder);
        MakeFolder(g_saveOutputFolder);
        SaveIfPresent(run);
    }
}

void SaveAllFiles(SaveRun& run) {
    const wchar_t sep = platform::kNativeSeparator;
    g_saveFileIndex = 0;
    run.host.SetFileCountLabel(std::to_wstring(g_sourceFileCount));
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next) {
        run.gate.Checkpoint();
        const int i = g_saveFileIndex;
        run.StartFile(i, g_sourceFileCount);
        g_saveSourcePath = node->path;
        run.host.SetSourcePathLabel(g_saveSourcePath);
        run.host.SetFileNumberLabel(std::to_wstring(i + 1));
        g_saveOutputFolder = g_saveAllFolder + sep + L"Repair" + sep;
        MakeFolder(g_saveOutputFolder);
        g_saveOutputFolder += ArchiveBaseName(g_saveSourcePath);
        run.host.SetOutputFolderLabel(g_saveOutputFolder);

        if (g_overwriteChoice == OverwriteNotAsked || g_overwriteChoice == OverwriteYes ||
            g_overwriteChoice == OverwriteNo) {
            run.host.StopTimer();
            if (Exists(g_saveOutputFolder))
                run.host.AskOverwrite();
        }
        run.host.StartTimer();
        const bool save = !Exists(g_saveOutputFolder) || g_overwriteChoice == OverwriteYes ||
                          g_overwriteChoice == OverwriteYesToAll;
        if (save) {
            Log(L"\r\n");
            Log(g_saveOutputFolder);
            MakeFolder(g_saveOutputFolder);
            SaveIfPresent(run);
        }
        ++g_saveFileIndex;
        run.FinishFile();
    }
}

} // namespace

unsigned SaveWorker(SaveHost& host, platform::WorkerGate& gate) {
    g_savingProgressSink = &ReportSaveProgress;
    SaveRun run(host, gate);
    RunScope scope(run);

    g_saveFileIndex = 0;
    for (const wchar_t* text :
         {L"\r\n", L"\r\n",
          L"*************************** Step 3 :- Files Saving********************************",
          L"\r\n", L"\r\n", L"Destination Files Path :", L"\r\n", L"________________________",
          L"\r\n", L"\r\n"})
        Log(text);
    run.overall.Set(0);

    if (g_saveCurrentOnly == 1)
        SaveCurrentFile(run);
    else
        SaveAllFiles(run);

    host.SaveFinished();
    return 1;
}

unsigned ReportSaveProgress(std::uint32_t position, std::uint32_t length) {
    SaveRun* run = g_saveRun;
    if (run == nullptr)
        return 0;
    run->gate.Checkpoint();
    int p =
        LaggingReportPosition(position, length, run->scanPercent, g_saveProgressCreepCount, 4000);
    if (p >= 100)
        p = 98;
    run->Scanned(p);
    run->gate.Checkpoint();
    return 0;
}
