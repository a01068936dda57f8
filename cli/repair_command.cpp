// `kvzip repair`: the saving pass of the desktop program, into
// DIR/Repair/<archive name>/, with the same files and the same log.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console_message_box.h"
#include "cli/interrupt.h"
#include "cli/progress_display.h"
#include "cli/run_log.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "log/activity_log.h"
#include "log/banners.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "workflow/destination_check.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"
#include "workflow/save_host.h"
#include "workflow/save_worker.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace {

const char kRepairUsage[] =
    "Usage: kvzip repair [--advanced] --dest DIR [--current N]\n"
    "                    [--overwrite ask|yes|no|yes-to-all|no-to-all] [--log FILE]\n"
    "                    [--name-encoding NAME] ARCHIVE...\n"
    "\n"
    "Runs the saving pass of the desktop program: every entry that can still be\n"
    "read from each ARCHIVE is written to DIR/Repair/<archive name>/ (the name\n"
    "without its extension), partial files kept. The archives are only read.\n"
    "\n"
    "  --advanced         use the advanced scan (default: quick scan)\n"
    "  --dest DIR         the destination folder; it must exist\n"
    "  --current N        save only archive number N (1-based), as Save Current\n"
    "                     File does; default: all archives, as Save All does\n"
    "  --overwrite MODE   when an archive's output folder exists already:\n"
    "                     ask (default; needs a terminal), yes or no (for each\n"
    "                     folder), yes-to-all or no-to-all\n"
    "  --log FILE         write the activity log to FILE instead of the one the\n"
    "                     registry store names (never one of the archives)\n"
    "  --name-encoding NAME\n"
    "                     code page of names not in UTF-8 (default: the\n"
    "                     registry store's NameEncoding, else CP437)\n"
    "  --help             show this text\n"
    "\n"
    "Progress goes to stderr, with a summary at the end. Links already below\n"
    "DIR are not followed, and no archive of the run is ever written over.\n"
    "Ctrl+C writes the abort banner to the log and stops at the next safe\n"
    "point, inside an entry too (its partial file is kept); files already\n"
    "written stay, and a second Ctrl+C ends at once. Exit codes: 0 every\n"
    "archive processed, 1 an archive could not be read or an output not\n"
    "written, 2 usage, 130 interrupted.\n";

enum class Policy { ask, yes, no, yesToAll, noToAll };

bool ParsePolicy(const std::string& text, Policy& policy) {
    static const std::array<std::pair<const char*, Policy>, 5> kNames = {{
        {"ask", Policy::ask},
        {"yes", Policy::yes},
        {"no", Policy::no},
        {"yes-to-all", Policy::yesToAll},
        {"no-to-all", Policy::noToAll},
    }};
    for (const auto& [name, value] : kNames) {
        if (text == name) {
            policy = value;
            return true;
        }
    }
    return false;
}

// The overwrite prompt's four answers on the terminal; the end of input is
// closing the prompt (the choice stays as it was).
void AskOverwriteOnTerminal(const std::wstring& folder) {
    for (;;) {
        std::fprintf(stderr,
                     "The file already exist's. Do you want to overwrite files\n  %s\n"
                     "[y]es, [n]o, yes to [a]ll, no to all [N]? ",
                     Printable(folder).c_str());
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line))
            return;
        if (line == "y" || line == "yes") {
            g_overwriteChoice = OverwriteYes;
        } else if (line == "n" || line == "no") {
            g_overwriteChoice = OverwriteNo;
        } else if (line == "a" || line == "yes-to-all") {
            g_overwriteChoice = OverwriteYesToAll;
        } else if (line == "N" || line == "no-to-all") {
            g_overwriteChoice = OverwriteNoToAll;
        } else {
            continue;
        }
        return;
    }
}

struct Tally {
    std::array<std::size_t, 6> entries{}; // by ExtractReport::Outcome
    std::uint64_t bytes = 0;
    std::size_t archives = 0;
    std::size_t unreadable = 0;
};

// The File Saving dialog on the terminal.
class ConsoleSaveHost : public SaveHost {
public:
    ConsoleSaveHost(int currentNumber, Policy policy, ProgressDisplay& display)
        : m_currentNumber(currentNumber), m_policy(policy), m_display(display) {}

    int CurrentFileNumber() override { return m_currentNumber; }
    void SetSourcePathLabel(const std::wstring& text) override { m_source = text; }
    void SetFileNumberLabel(const std::wstring& text) override { m_number = std::stoi(text); }
    void SetFileCountLabel(const std::wstring&) override {}
    void SetOutputFolderLabel(const std::wstring& text) override {
        EndArchive();
        m_folder = text;
        CFile file;
        std::uint64_t size = 0;
        if (file.Open(m_source, CFile::modeRead))
            size = file.GetLength();
        m_display.BeginArchive(m_number, Printable(m_source), size);
        m_folderExisted = GetPathKind(text) != 0;
        m_open = true;
        m_archive = Tally();
        ++total.archives;
    }
    void SetCurrentBar(int position) override { m_display.SetCurrent(position); }
    void SetOverallBar(int position) override { m_display.SetOverall(position); }
    void StopTimer() override {}
    void StartTimer() override {}
    void AskOverwrite() override {
        if (m_policy == Policy::yes) {
            g_overwriteChoice = OverwriteYes;
        } else if (m_policy == Policy::no) {
            g_overwriteChoice = OverwriteNo;
        } else {
            m_display.Clear();
            AskOverwriteOnTerminal(m_folder);
        }
    }
    void SaveFinished() override {
        EndArchive();
        finished = true;
    }
    void ArchiveError(const std::wstring& reason) override {
        m_errors += (m_errors.empty() ? "" : "; ") + Printable(reason);
        ++m_archive.unreadable;
    }
    void EntrySaved(const ExtractReport& report, const std::wstring& error) override {
        ++m_archive.entries[report.outcome];
        m_archive.bytes += report.bytesWritten;
        if (report.outcome == ExtractReport::failed) {
            m_display.Clear();
            std::fprintf(stderr, "kvzip: %s: %s\n", Printable(report.outputPath).c_str(),
                         error.empty() ? report.reason : Printable(error).c_str());
        } else if (report.renamed) {
            m_display.Clear();
            std::fprintf(stderr, "kvzip: %s: saved under this name: another entry had its path\n",
                         Printable(report.outputPath).c_str());
        }
    }

    void EndArchive() {
        if (!m_open)
            return;
        m_open = false;
        for (std::size_t k = 0; k < total.entries.size(); ++k)
            total.entries[k] += m_archive.entries[k];
        total.bytes += m_archive.bytes;
        total.unreadable += m_archive.unreadable ? 1 : 0;
        const auto& e = m_archive.entries;
        std::string line = std::to_string(e[ExtractReport::written]) + " written, " +
                           std::to_string(e[ExtractReport::partial]) + " partial, " +
                           std::to_string(e[ExtractReport::folder]) + " folders made, " +
                           std::to_string(e[ExtractReport::skipped]) + " skipped, " +
                           std::to_string(e[ExtractReport::refused] + e[ExtractReport::failed]) +
                           " failed -> " + Printable(m_folder);
        if (!m_errors.empty())
            line += " (" + m_errors + ")";
        else if (m_folderExisted && m_archive.entries == decltype(m_archive.entries){})
            line += " (the folder exists: nothing saved)";
        m_errors.clear();
        m_display.EndArchive(line);
    }

    Tally total;
    bool finished = false;

private:
    int m_currentNumber;
    Policy m_policy;
    ProgressDisplay& m_display;
    std::wstring m_source;
    std::wstring m_folder;
    std::string m_errors;
    int m_number = 1;
    bool m_open = false;
    bool m_folderExisted = false;
    Tally m_archive;
};

// The number that --current gives: digits only, from 1 to `count`; 0 when
// the text is no such number ("1x" included).
int ArchiveNumber(const std::string& text, std::size_t count) {
    std::size_t number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end || number < 1 || number > count)
        return 0;
    return static_cast<int>(number);
}

std::wstring WithoutTrailingSeparators(std::wstring folder) {
    while (folder.size() > 1 && folder.back() == platform::kNativeSeparator)
        folder.pop_back();
    return folder;
}

} // namespace

int RunRepair(const std::vector<std::string>& words) {
    CommandOptions options;
    std::string usageError = ParseCommandOptions(
        words, {"--advanced", "--dest", "--current", "--overwrite", "--log", "--name-encoding"},
        options);
    if (options.help) {
        std::fputs(kRepairUsage, stdout);
        return exitOk;
    }
    Policy policy = Policy::ask;
    int current = 0;
    if (usageError.empty() && options.operands.empty())
        usageError = "expected at least one ARCHIVE";
    if (usageError.empty() && options.dest.empty())
        usageError = "--dest DIR is required";
    if (usageError.empty() && !ParsePolicy(options.overwrite, policy))
        usageError = "--overwrite takes ask, yes, no, yes-to-all or no-to-all";
    if (usageError.empty() && !options.current.empty()) {
        current = ArchiveNumber(options.current, options.operands.size());
        if (current == 0)
            usageError = "--current takes an archive number from 1 to " +
                         std::to_string(options.operands.size());
    }
    if (usageError.empty())
        usageError = LogTargetError(options);
    if (usageError.empty() && policy == Policy::ask && isatty(STDIN_FILENO) != 1)
        usageError = "--overwrite ask needs a terminal; choose yes, no, yes-to-all or no-to-all";
    if (!usageError.empty()) {
        std::fprintf(stderr, "kvzip repair: %s\n%s", usageError.c_str(), kRepairUsage);
        return exitUsage;
    }
    const std::wstring destination = WithoutTrailingSeparators(platform::DecodeLocal(options.dest));
    if (!DestinationExists(destination)) {
        std::fprintf(stderr,
                     "kvzip repair: %s: Saving path doesn't exist, select another path "
                     "for saving\n",
                     options.dest.c_str());
        return exitUsage;
    }
    if (!DestinationWritable(destination)) {
        std::fprintf(stderr, "kvzip repair: %s: cannot write there\n", options.dest.c_str());
        return exitUnreadable;
    }
    const std::vector<std::wstring> paths = StartDesktopRun(options);
    g_saveCurrentOnly = current > 0 ? 1 : 0;
    (current > 0 ? g_saveCurrentFolder : g_saveAllFolder) = destination;
    g_overwriteChoice = policy == Policy::yesToAll  ? OverwriteYesToAll
                        : policy == Policy::noToAll ? OverwriteNoToAll
                                                    : OverwriteNotAsked;

    const int count = current > 0 ? 1 : static_cast<int>(paths.size());
    ProgressDisplay display("saving", count, isatty(STDERR_FILENO) == 1);
    // Save Current File asks its own Yes/No question for an existing folder.
    ConsoleMessageBoxes boxes([policy, &display](const std::wstring& text) {
        if (policy == Policy::yes || policy == Policy::yesToAll)
            return true;
        if (policy == Policy::no || policy == Policy::noToAll)
            return false;
        display.Clear();
        return AskYesNoOnTerminal(text);
    });
    ConsoleSaveHost host(current, policy, display);
    platform::WorkerThread worker;
    InterruptWatch interrupt([&worker] { worker.Gate().Stop(); });
    const auto start = std::chrono::steady_clock::now();
    worker.Start(
        [&host](platform::WorkerGate& gate) { return static_cast<int>(SaveWorker(host, gate)); });
    // Starting the worker resets its gate: an interrupt that came first stops it now.
    if (interrupt.Interrupted())
        worker.Gate().Stop();
    const platform::WorkerEnding ending = worker.Join();
    const bool stopped = ending == platform::WorkerEnding::Stopped;
    // Written once the worker has unwound, so that no line of the pass can
    // follow the banner.
    if (stopped)
        WriteAbortBanner();
    host.EndArchive();
    if (host.finished && !stopped) {
        // With several sources, Save Current File returns to the preview and
        // the run goes on: the completion comes only when the pass ends it.
        if (!(g_saveCurrentOnly == 1 && g_sourceFileCount != 1))
            WriteCompletionBanner();
        g_saveCurrentOnly = 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto& e = host.total.entries;
    std::fprintf(stderr,
                 "%zu archives: %zu entries written, %zu partial, %zu folders made, "
                 "%zu skipped, %zu failed; %llu bytes in %.1f s%s\n",
                 host.total.archives, e[ExtractReport::written], e[ExtractReport::partial],
                 e[ExtractReport::folder], e[ExtractReport::skipped],
                 e[ExtractReport::refused] + e[ExtractReport::failed],
                 static_cast<unsigned long long>(host.total.bytes), seconds,
                 stopped ? " (interrupted)" : "");
    if (stopped || interrupt.Interrupted())
        return exitInterrupted;
    if (ending == platform::WorkerEnding::Failed) {
        std::fprintf(stderr, "kvzip repair: the saving pass ended with an unexpected error\n");
        return exitUnreadable;
    }
    return host.total.unreadable > 0 || e[ExtractReport::failed] > 0 ? exitUnreadable : exitOk;
}
