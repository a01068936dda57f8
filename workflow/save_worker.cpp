#include "workflow/save_worker.h"

#include "engine/output_file.h"
#include "engine/output_paths.h"
#include "engine/parallel_extraction.h"
#include "engine/password_choice.h"
#include "engine/scan_state.h"
#include "identity/app_question.h"
#include "log/activity_log.h"
#include "log/banners.h"
#include "platform/text.h"
#include "platform/worker_gate.h"
#include "workflow/bar_position.h"
#include "workflow/overwrite_choice.h"
#include "workflow/pass_run.h"
#include "workflow/repair_state.h"
#include "workflow/save_host.h"
#include "workflow/save_state.h"
#include "workflow/save_summary.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Entries are written in chunks of this size.
constexpr std::uint32_t kChunkSize = 65535;

// The entries fill the Current bar by their compressed sizes, each counted
// this much larger for the file it creates, so that many small files move
// the bar too.
constexpr std::uint64_t kEntryWeight = 512;

std::uint64_t FileSize(const std::wstring& path) {
    struct stat st {};
    if (::stat(platform::EncodeLocal(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

// The bars of a pass. The Current bar runs from 0 to 100 over one archive
// and never moves back within it; the Overall bar gives each archive a
// share of its width by the archive's size and never moves back at all.
// Neither reads 100 before the last entry is written. The threads that
// write entries move the bars too, between chunks of a large entry.
struct SaveRun : PassRun {
    SaveRun(SaveHost& passHost, platform::WorkerGate& workerGate)
        : PassRun(workerGate), host(passHost), current([this](int) { ShowProgress(); }),
          overall([this](int) { ShowProgress(); }) {}

    void ShowProgress() { host.Progress({current.Get(), overall.Get()}); }

    // The archives' shares of the Overall bar, in pass order: their sizes
    // (an unreadable one counts as a byte).
    void ShareBy(const std::vector<std::wstring>& paths) {
        shares.clear();
        for (const std::wstring& path : paths)
            shares.push_back(std::max<std::uint64_t>(FileSize(path), 1));
        sharesTotal = 0;
        for (const std::uint64_t share : shares)
            sharesTotal += share;
    }
    // Archive `index` of the shares begins.
    void StartFile(int index) {
        std::lock_guard<std::mutex> held(barLock);
        fileIndex = index;
        shareBefore = 0;
        for (int i = 0; i < index && i < static_cast<int>(shares.size()); ++i)
            shareBefore += shares[static_cast<std::size_t>(i)];
        scanPercent = 0;
        current.Set(0);
    }
    void Advance(int position) {
        std::lock_guard<std::mutex> held(barLock);
        current.Raise(position);
        overall.Raise(OverallAt(static_cast<std::uint64_t>(current.Get())));
    }
    void Scanned(int percent) override {
        scanPercent = percent;
        Advance(ScanSharePosition(percent));
    }
    // The archive is done with, saved or passed over.
    void FinishFile() {
        std::lock_guard<std::mutex> held(barLock);
        overall.Raise(OverallAt(100));
    }

    // The Overall bar with the current archive at `percent`.
    int OverallAt(std::uint64_t percent) const {
        if (sharesTotal == 0 || static_cast<std::size_t>(fileIndex) >= shares.size())
            return 0;
        const std::uint64_t share = shares[static_cast<std::size_t>(fileIndex)];
        return static_cast<int>((shareBefore * 100 + percent * share) / sharesTotal);
    }

    SaveHost& host;
    BarPosition current;
    BarPosition overall;
    // Guards the bars: entry threads move them between chunks.
    std::mutex barLock;
    int fileIndex = 0;
    std::vector<std::uint64_t> shares;
    std::uint64_t sharesTotal = 0;
    std::uint64_t shareBefore = 0;
    // With `source`, the one place where the pass counts: the entries of
    // the source that the log will name, and the pass so far.
    std::vector<EntryProblem> problems;
    PassTotals pass;
    // `source` is begun and not yet counted in `pass`.
    bool sourceOpen = false;
    ExtractSafeguards safeguards;
    // The output folders of this pass: a second archive of the same name
    // gets a numbered one instead of writing into the first one's.
    std::set<std::wstring> outputFolders;
};

SaveRun* g_saveRun = nullptr;

// The entry a thread writes, and the weight of what it has written of it.
struct ChunkProgress {
    std::size_t index = SIZE_MAX;
    std::uint64_t chunks = 0;
    std::uint64_t weight = 0;
};
thread_local ChunkProgress t_chunkProgress;

// The saving bar holds at 98 while the scan runs, like the probe, and
// creeps at half the analysis pace: both passes get the same reports, and
// its bar has the writes still to show.
constexpr ScanPace kSavePace{4000, 98};

bool Exists(const std::wstring& path) {
    return GetPathKind(path) != PathKind::nothing;
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
    run.safeguards.resync = g_pastDamage != 0;
    run.safeguards.keepLinksAsFiles = g_keepLinksAsFiles != 0;
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

// A source of the pass begins: its labels, and nothing counted yet.
void BeginSource(SaveRun& run, int number, int count) {
    run.source = SourceTotals();
    run.source.source = {number, count, g_saveSourcePath, g_saveOutputFolder};
    run.problems.clear();
    run.sourceOpen = true;
    run.host.SourceStarted(run.source.source);
}

// The source is done with: its totals go to the log (when it has a folder
// line there) and to the host, and count for the pass.
void EndSource(SaveRun& run, bool logged) {
    SourceTotals& source = run.source;
    // Headers that gave nothing but debris, or none that holds together.
    if (source.problem == SourceProblem::none && source.found == 0 && source.error.empty())
        source.problem =
            source.verdicts.debris > 0 ? SourceProblem::noEntries : SourceProblem::noZipData;
    if (logged)
        LogSourceTotals(source, run.problems);
    run.pass.Add(source);
    run.sourceOpen = false;
    run.host.SourceDone(source);
}

void CountEntry(SaveRun& run, ExtractReport& report) {
    if (run.source.passwordSkipped && report.encrypted && report.verdict == Verdict::notSaved)
        report.reason = "skipped, no password";
    if (report.destination == ExtractReport::Destination::full)
        ++run.source.destinationFull;
    else if (report.destination == ExtractReport::Destination::unwritable)
        ++run.source.destinationUnwritable;
    run.source.verdicts.Add(report);
    if (!report.IsDebris())
        ++run.source.found;
    if (!report.IsDebris() && report.verdict != Verdict::verified &&
        report.verdict != Verdict::folder)
        run.problems.push_back({report.name, VerdictText(report)});
    run.host.EntrySaved(report);
}

// Opens the archive and extracts every entry it holds; an entry that fails
// is given up and the next ones are still tried.
void ExtractAll(SaveRun& run, std::uint64_t archiveLength) {
    // A file that cannot be read has no entries: the loops below pass over it.
    ScanSource(run, g_savingArchive, g_saveSourcePath, g_savingScanActive, &ReportSaveProgress);
    bool skipped = false;
    ChoosePassword(g_savingArchive, g_runPassword,
                   [&run, &skipped](bool again, Password& answer, bool& forAll) {
                       const bool given =
                           run.host.AskPassword(g_saveSourcePath, again, answer, forAll);
                       skipped = !given && run.host.PasswordSkipped();
                       return given;
                   });
    if (skipped) {
        // No password was given: nothing is decrypted with one that did
        // not fit, and the entries say they were skipped.
        g_savingArchive.SetPassword(Password());
        run.source.passwordSkipped = true;
    }
    // A size claimed past the end of the file counts as the rest of the file.
    const CEntryTable& table = g_savingArchive.m_centralDir.Entries();
    std::vector<std::uint64_t> weights;
    std::uint64_t totalWeight = 0;
    for (int k = 0; k < g_entryCount; ++k) {
        const std::uint64_t size = table.GetCompressedSize(static_cast<std::size_t>(k));
        weights.push_back(std::min(size, archiveLength) + kEntryWeight);
        totalWeight += weights.back();
    }
    // The weight of the entries done, and of what is written of those
    // under way.
    std::atomic<std::uint64_t> doneWeight = 0;
    std::atomic<std::uint64_t> writtenWeight = 0;
    const auto showWeights = [&] {
        run.Advance(EntriesPosition(doneWeight + writtenWeight, totalWeight, false));
    };
    // Between two chunks of an entry, on the thread that writes it: the
    // bars move with the bytes, short of the entry's whole weight.
    ExtractSafeguards safeguards = run.safeguards;
    safeguards.stopRequested = [&] {
        ChunkProgress& entry = t_chunkProgress;
        if (entry.index < weights.size()) {
            ++entry.chunks;
            const std::uint64_t size = std::max<std::uint64_t>(
                table.GetUncompressedSize(entry.index), table.GetCompressedSize(entry.index));
            const std::uint64_t bytes = std::min<std::uint64_t>(entry.chunks * kChunkSize, size);
            const std::uint64_t weight =
                size == 0 ? 0
                          : static_cast<std::uint64_t>(static_cast<unsigned __int128>(bytes) *
                                                       (weights[entry.index] - 1) / size);
            writtenWeight += weight - entry.weight;
            entry.weight = weight;
            showWeights();
        }
        return run.safeguards.StopRequested();
    };
    // Entries are saved on several threads; they are counted, shown and
    // logged here, on the pass's thread, in entry order.
    const auto save = [&](CZipArchive& reader, std::size_t k) {
        ExtractReport report;
        t_chunkProgress = {k, 0, 0};
        try {
            reader.ExtractEntryTo(k, g_saveOutputFolder, kChunkSize, &report, &safeguards);
        } catch (const CException&) {
            // The engine has released the entry and filled the report in;
            // what was written stays.
        }
        writtenWeight -= t_chunkProgress.weight;
        t_chunkProgress = {};
        return report;
    };
    const auto count = [&](std::size_t k, ExtractReport& report) {
        CountEntry(run, report);
        if (k < weights.size())
            doneWeight += weights[k];
        if (k + 1 >= weights.size())
            run.Advance(100);
        else
            showWeights();
    };
    // A pause holds every thread before its next entry (and inside large
    // ones, between chunks), and counts as done once all are held; a stop
    // begins no further entry.
    platform::WorkerGate& gate = run.gate;
    const std::size_t saved = ExtractInEntryOrder<ExtractReport>(
        g_savingArchive, ExtractionJobs(run.host.DecodingThreads()), save, count,
        [&run] { return run.safeguards.StopRequested(); }, true,
        [&gate](bool begins) { begins ? gate.HelperStarted() : gate.HelperEnded(); });
    if (saved < g_savingArchive.GetEntryCount())
        run.gate.Checkpoint(); // stopped: unwinds the pass
    g_entryCount = 0;
    g_savingArchive.CloseArchive(true);
    g_savingArchive.SetPassword(Password());
}

// Probes the source file and, when it holds a local header, saves it. A
// file too short to be scanned is passed over.
void SaveSource(SaveRun& run) {
    CFile source;
    const ProbedSource probe =
        ProbeSource(run, source, g_saveSourcePath, CFile::shareDenyNone, g_saveSignatureFound);
    if (probe.outcome != ProbeOutcome::found)
        return;
    // Made only for a file that holds ZIP data: any other leaves no folder,
    // nor does one of which nothing was saved.
    MakeFolder(run, g_saveOutputFolder);
    ExtractAll(run, probe.length);
    if (run.source.verdicts.Saved() == 0 && run.source.verdicts.folders == 0)
        ::rmdir(platform::EncodeLocal(g_saveOutputFolder).c_str());
}

// Saves the source into its folder, logged already. A source that has
// gone since it was chosen is passed over.
void SaveIfPresent(SaveRun& run) {
    if (GetPathKind(g_saveSourcePath) != PathKind::file) {
        run.source.problem = SourceProblem::missing;
        return;
    }
    try {
        SaveSource(run);
    } catch (const platform::WorkerStopped&) {
        // What was saved before the stop is in the log before the banner.
        LogSourceTotals(run.source, run.problems);
        throw;
    }
}

// Saves the source into its output folder, or keeps the folder that is
// there already. A vanished or too short source is passed over like an
// empty one: the next file follows.
void SaveOrKeep(SaveRun& run, bool save) {
    if (save) {
        Log(L"\r\n");
        Log(g_saveOutputFolder);
        SaveIfPresent(run);
    } else {
        run.source.problem = SourceProblem::folderKept;
    }
    EndSource(run, save);
}

// `folder`, or when an earlier archive of the pass has it, the first of
// "folder (2)", "folder (3)", ... that none has.
std::wstring UnclaimedFolder(SaveRun& run, const std::wstring& folder) {
    std::wstring candidate = folder;
    for (int number = 2; !run.outputFolders.insert(candidate).second; ++number)
        candidate = folder + L" (" + std::to_wstring(number) + L")";
    return candidate;
}

void SaveCurrentFile(SaveRun& run) {
    g_saveSourcePath = GetSourcePath(run.host.CurrentFileNumber() - 1);
    run.ShareBy({g_saveSourcePath});
    run.StartFile(0);
    g_saveOutputFolder = OutputFolderFor(g_saveCurrentFolder, g_saveSourcePath);
    BeginSource(run, 1, 1);

    SaveOrKeep(run,
               !Exists(g_saveOutputFolder) ||
                   AskUser(nullptr, L"The file already exit's, Do you want to overwrite file"));
}

void SaveAllFiles(SaveRun& run) {
    const wchar_t sep = platform::kNativeSeparator;
    g_saveFileIndex = 0;
    std::vector<std::wstring> paths;
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next)
        paths.push_back(node->path);
    run.ShareBy(paths);
    for (const SourceFileNode* node = g_sourceFiles; node != nullptr; node = node->next) {
        run.gate.Checkpoint();
        const int i = g_saveFileIndex;
        run.StartFile(i);
        g_saveSourcePath = node->path;
        g_saveOutputFolder = g_saveAllFolder + sep + L"Repair" + sep;
        MakeFolder(run, g_saveOutputFolder);
        g_saveOutputFolder =
            UnclaimedFolder(run, g_saveOutputFolder + ArchiveBaseName(g_saveSourcePath));
        BeginSource(run, i + 1, g_sourceFileCount);

        if ((g_overwriteChoice == OverwriteNotAsked || g_overwriteChoice == OverwriteYes ||
             g_overwriteChoice == OverwriteNo) &&
            Exists(g_saveOutputFolder))
            run.host.AskOverwrite();
        const bool save = !Exists(g_saveOutputFolder) || g_overwriteChoice == OverwriteYes ||
                          g_overwriteChoice == OverwriteYesToAll;
        SaveOrKeep(run, save);
        ++g_saveFileIndex;
        run.FinishFile();
    }
}

} // namespace

unsigned SaveWorker(SaveHost& host, platform::WorkerGate& gate) {
    SaveRun run(host, gate);
    RunScope scope(g_saveRun, run);
    PrepareSafeguards(run);

    g_saveFileIndex = 0;
    WriteSavingBanner();
    run.overall.Set(0);

    const wchar_t sep = platform::kNativeSeparator;
    try {
        if (g_saveCurrentOnly == 1) {
            run.pass.repairFolder = g_saveCurrentFolder + sep + L"Repair";
            SaveCurrentFile(run);
        } else {
            run.pass.repairFolder = g_saveAllFolder + sep + L"Repair";
            SaveAllFiles(run);
        }
        // A stop that ended the last entry early ends the pass here, not as
        // completed.
        gate.Checkpoint();
    } catch (const platform::WorkerStopped&) {
        // What was saved before the stop, for the user to see.
        if (run.sourceOpen)
            run.pass.Add(run.source);
        host.PassStopped(run.pass);
        throw;
    }
    host.PassDone(run.pass);
    return 1;
}

unsigned ReportSaveProgress(std::uint64_t position, std::uint64_t length) {
    FollowScanReport(g_saveRun, position, length, g_saveProgressCreepCount, kSavePace);
    return 0;
}
