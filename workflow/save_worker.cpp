#include "workflow/save_worker.h"

#include "engine/output_file.h"
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

namespace {

// Entries are written in chunks of this size.
constexpr std::uint32_t kChunkSize = 65535;

struct SaveRun {
    SaveRun(SaveHost& host, platform::WorkerGate& gate)
        : host(host), gate(gate), current([&host](int p) { host.SetCurrentBar(p); }),
          overall([&host](int p) { host.SetOverallBar(p); }) {}

    SaveHost& host;
    platform::WorkerGate& gate;
    BarPosition current;
    BarPosition overall;
    ExtractSafeguards safeguards;
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

// One level only; missing parents are made by the extraction. Below the
// destination no link is followed, so a link named Repair cannot send the
// pass elsewhere.
void MakeFolder(const SaveRun& run, const std::wstring& path) {
    const OutputTarget target = SplitAtDestination(run.safeguards.destination, path);
    CFile folder;
    OpenFolderBelow(target.destination, target.below, FolderMaking::last, folder);
}

// What every extraction of the pass is told: the destination the user
// chose, every source of the run (none may be written over, wherever its
// output folder is), and how to stop inside a large entry.
void PrepareSafeguards(SaveRun& run) {
    run.safeguards.destination = g_saveCurrentOnly == 1 ? g_saveCurrentFolder : g_saveAllFolder;
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next) {
        if (const std::optional<FileIdentity> identity = IdentifyFile(node->path))
            run.safeguards.sources.push_back(*identity);
    }
    platform::WorkerGate& gate = run.gate;
    // A pause holds the worker between two chunks; a stop ends the entry
    // there, and the next safe point unwinds the pass.
    run.safeguards.stopRequested = [&gate] {
        try {
            gate.Checkpoint();
        } catch (const platform::WorkerStopped&) {
            return true;
        }
        return false;
    };
}

// Where the bar rules of the two modes differ.
enum class Mode { currentFile, allFiles };

// Opens the archive and extracts every entry it holds; an entry that fails
// is given up and the next ones are still tried.
void ExtractAll(SaveRun& run, Mode mode) {
    {
        ScanActiveScope scanning;
        try {
            g_savingArchive.OpenArchive(g_saveSourcePath, 0);
        } catch (const CException& e) {
            // The entries found before the error are still extracted.
            run.host.ArchiveError(e.GetReason());
        }
    }
    const int base = run.current.Get();
    for (int k = 0; k < g_entryCount; ++k) {
        run.gate.Checkpoint();
        const int n = g_entryCount;
        auto clamp = [n, k](int q) { return q >= 100 ? (k + 1 < n ? 98 : 100) : q; };
        if (mode == Mode::currentFile) {
            const int q = clamp(100 * k / n + base);
            run.overall.Set(q);
            run.current.Set(q);
        }
        ExtractReport report;
        std::wstring error;
        try {
            g_savingArchive.ExtractEntryTo(static_cast<std::size_t>(k), g_saveOutputFolder,
                                           kChunkSize, &report, &run.safeguards);
        } catch (const CException& e) {
            // The engine has released the entry; what was written stays.
            report.outcome = ExtractReport::failed;
            error = e.GetReason();
        }
        run.host.EntrySaved(report, error);
        if (mode == Mode::allFiles) {
            const int q = clamp(100 * (k + 1) / n + base);
            if (g_sourceFileCount == 1)
                run.overall.Set(q);
            run.current.Set(q);
        }
    }
    g_entryCount = 0;
    g_savingArchive.CloseArchive(true);
}

// Probes the source file and, when it holds a local header, saves it.
// Returns false when the file is too short to be scanned.
bool SaveSource(SaveRun& run, Mode mode, bool overallFollows) {
    CFile source;
    CFileException error(CFileException::none, 0, g_saveSourcePath);
    if (!source.Open(g_saveSourcePath, CFile::modeRead | CFile::shareDenyNone, &error)) {
        run.host.ArchiveError(error.GetReason());
        return false;
    }
    std::uint64_t length = 0;
    try {
        length = source.GetLength();
    } catch (const CFileException& e) {
        run.host.ArchiveError(e.GetReason());
        return false;
    }
    if (length <= 100)
        return false;
    g_saveSignatureFound = 0;
    std::uint64_t found = 0;
    const bool hit = ProbeForLocalHeader(
        source, length, run.gate,
        [&run, overallFollows](int p) {
            run.current.Set(p);
            if (overallFollows)
                run.overall.Set(p);
        },
        found);
    source.Close();
    if (hit) {
        g_saveSignatureFound = 1;
        ExtractAll(run, mode);
    }
    return true;
}

void SaveCurrentFile(SaveRun& run) {
    run.current.Set(0);
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
        MakeFolder(run, g_saveOutputFolder);
        // A source that has gone since it was chosen is passed over.
        if (GetPathKind(g_saveSourcePath) == 1)
            SaveSource(run, Mode::currentFile, true);
        else
            run.host.ArchiveError(L"the file no longer exists");
    }
}

void SaveAllFiles(SaveRun& run) {
    const wchar_t sep = platform::kNativeSeparator;
    g_saveFileIndex = 0;
    run.host.SetFileCountLabel(std::to_wstring(g_sourceFileCount));
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next) {
        run.gate.Checkpoint();
        const int i = g_saveFileIndex;
        run.current.Set(0);
        const int overallAtEnd = g_sourceFileCount > 0 ? (i + 1) * 100 / g_sourceFileCount : 100;
        g_saveSourcePath = node->path;
        run.host.SetSourcePathLabel(g_saveSourcePath);
        run.host.SetFileNumberLabel(std::to_wstring(i + 1));
        g_saveOutputFolder = g_saveAllFolder + sep + L"Repair" + sep;
        MakeFolder(run, g_saveOutputFolder);
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
            MakeFolder(run, g_saveOutputFolder);
            // A vanished or too short source is passed over like an empty one:
            // the next file follows and the Overall bar stays.
            const bool present = GetPathKind(g_saveSourcePath) == 1;
            if (!present)
                run.host.ArchiveError(L"the file no longer exists");
            if (!present || !SaveSource(run, Mode::allFiles, g_sourceFileCount == 1)) {
                ++g_saveFileIndex;
                continue;
            }
        }
        ++g_saveFileIndex;
        if (g_sourceFileCount > 1)
            run.overall.Set(overallAtEnd);
    }
}

} // namespace

unsigned SaveWorker(SaveHost& host, platform::WorkerGate& gate) {
    g_savingProgressSink = &ReportSaveProgress;
    SaveRun run(host, gate);
    RunScope scope(run);
    PrepareSafeguards(run);

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

    // A stop that ended the last entry early ends the pass here, not as
    // completed.
    gate.Checkpoint();
    host.SaveFinished();
    return 1;
}

unsigned ReportSaveProgress(std::uint64_t position, std::uint64_t length) {
    SaveRun* run = g_saveRun;
    if (run == nullptr)
        return 0;
    run->gate.Checkpoint();
    int p =
        LaggingReportPosition(position, length, run->current.Get(), g_saveProgressCreepCount, 4000);
    if (p >= 100)
        p = 98;
    if (g_saveCurrentOnly == 1 || g_sourceFileCount == 1)
        run->overall.Set(p);
    run->current.Set(p);
    run->gate.Checkpoint();
    return 0;
}
