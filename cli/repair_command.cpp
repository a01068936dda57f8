// `kvzip repair`: the saving pass of the desktop program, into
// DIR/Repair/<archive name>/, with the same files and the same log.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console_message_box.h"
#include "cli/interrupt.h"
#include "cli/password_input.h"
#include "cli/progress_display.h"
#include "cli/run_log.h"
#include "cli/verdict_report.h"
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
#include "workflow/save_state.h"
#include "workflow/save_worker.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

namespace {

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

// The File Saving dialog on the terminal: the pass's events become the
// progress, a line for each entry that is not verified, and the summaries.
class ConsoleSaveHost : public SaveHost {
public:
    ConsoleSaveHost(int currentNumber, Policy policy, bool verbose, unsigned jobs,
                    ProgressDisplay& display, PasswordInput& passwords)
        : m_currentNumber(currentNumber), m_policy(policy), m_verbose(verbose), m_jobs(jobs),
          m_display(display), m_passwords(passwords) {}

    int CurrentFileNumber() override { return m_currentNumber; }
    unsigned DecodingThreads() override { return m_jobs; }
    void SourceStarted(const SourceStart& source) override {
        m_folder = source.outputFolder;
        CFile file;
        std::uint64_t size = 0;
        if (file.Open(source.path, CFile::modeRead))
            size = file.GetLength();
        m_display.BeginArchive(source.number, Printable(source.path), size);
    }
    void Progress(const PassProgress& progress) override {
        m_display.SetCurrent(progress.current);
        m_display.SetOverall(progress.overall);
    }
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
    bool AskPassword(const std::wstring& archive, bool again, Password& answer,
                     bool& forAll) override {
        m_display.Clear();
        return CommandLineAsk(m_passwords, Printable(archive))(again, answer, forAll);
    }
    void EntrySaved(const ExtractReport& report) override {
        bytes += report.bytesWritten;
        if (report.outcome == ExtractReport::failed)
            ++failed;
        if (!ShowsLine(report, m_verbose))
            return;
        m_display.Clear();
        std::fprintf(stderr, "  %s\n", VerdictLine(report).c_str());
    }
    void SourceDone(const SourceTotals& totals) override {
        soFar.Add(totals);
        std::string line = totals.problem == SourceProblem::none
                               ? VerdictSummary(totals.verdicts)
                               : "nothing saved: " + Printable(SourceProblemText(totals.problem));
        if (!totals.error.empty())
            line += " (" + Printable(totals.error) + ")";
        if (totals.problem != SourceProblem::folderKept)
            line += " -> " + Printable(totals.source.outputFolder);
        m_display.EndArchive(line);
    }
    void PassDone(const PassTotals& totals) override {
        soFar = totals;
        finished = true;
    }

    // The sources done so far; the whole pass once it is done.
    PassTotals soFar;
    std::uint64_t bytes = 0;
    std::uint64_t failed = 0;
    bool finished = false;

private:
    int m_currentNumber;
    Policy m_policy;
    bool m_verbose;
    unsigned m_jobs;
    ProgressDisplay& m_display;
    PasswordInput& m_passwords;
    std::wstring m_folder;
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

// Whether an archive of the run (only number `current` when not 0) would
// find its output folder below `destination` there already.
bool AnOutputFolderExists(const std::wstring& destination, const std::vector<std::string>& operands,
                          int current) {
    for (std::size_t i = 0; i < operands.size(); ++i) {
        if (current > 0 && i + 1 != static_cast<std::size_t>(current))
            continue;
        if (GetPathKind(OutputFolderFor(destination, platform::DecodeLocal(operands[i]))) !=
            PathKind::nothing)
            return true;
    }
    return false;
}

// mkdir -p: every missing folder of `path`.
bool MakeFolderPath(const std::wstring& path) {
    std::error_code error;
    std::filesystem::create_directories(platform::EncodeLocal(path), error);
    if (error)
        errno = error.value();
    return DestinationExists(path);
}

std::wstring WithoutTrailingSeparators(std::wstring folder) {
    while (folder.size() > 1 && folder.back() == platform::kNativeSeparator)
        folder.pop_back();
    return folder;
}

} // namespace

int RunRepair(const Command& command, const std::vector<std::string>& words) {
    CommandOptions options;
    std::string usageError = ParseCommandOptions(words, command, options);
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
    const std::wstring destination = WithoutTrailingSeparators(platform::DecodeLocal(options.dest));
    // Only a folder that is there already asks its question.
    if (usageError.empty() && policy == Policy::ask && isatty(STDIN_FILENO) != 1 &&
        AnOutputFolderExists(destination, options.operands, current))
        usageError = "--overwrite ask needs a terminal; choose yes, no, yes-to-all or no-to-all";
    if (const std::optional<int> code = EndBeforeTheWork(command, options, usageError))
        return *code;
    PasswordInput passwords;
    if (const std::optional<int> code =
            RefuseUsage(command, LoadPasswordInput(options.passwordFile, passwords)))
        return *code;
    // Made when missing, as extract makes its folder.
    if (!DestinationExists(destination) && !MakeFolderPath(destination)) {
        std::fprintf(stderr, "kvzip repair: %s: cannot make the folder: %s\n",
                     Printable(destination).c_str(), std::strerror(errno));
        return exitUnreadable;
    }
    if (!DestinationWritable(destination)) {
        std::fprintf(stderr, "kvzip repair: %s: cannot write there\n", options.dest.c_str());
        return exitUnreadable;
    }
    const std::vector<std::wstring> paths = StartDesktopRun(options);
    g_saveCurrentOnly = current > 0 ? 1 : 0;
    g_keepLinksAsFiles = options.keepLinksAsFiles ? 1 : 0;
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
    ConsoleSaveHost host(current, policy, options.verbose, options.jobCount, display, passwords);
    g_runPassword = passwords.run;
    platform::WorkerThread worker;
    InterruptWatch interrupt([&worker] { worker.Gate().Stop(); });
    passwords.stopped = [&interrupt] { return interrupt.Interrupted(); };
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
    if (host.finished && !stopped) {
        // With several sources, Save Current File returns to the preview and
        // the run goes on: the completion comes only when the pass ends it.
        if (!(g_saveCurrentOnly == 1 && g_sourceFileCount != 1)) {
            // As the wizard's completion: successful only when all was saved and verified.
            if (host.soFar.Clean() && host.failed == 0)
                WriteCompletionBanner();
            else
                WriteProblemsBanner();
        }
        g_saveCurrentOnly = 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A source with nothing in it to save could not be read, like a missing one.
    bool unreadable = false;
    for (const SourceTotals& source : host.soFar.sources)
        unreadable =
            unreadable || source.Unreadable() ||
            (source.problem == SourceProblem::noZipData && EmptyKind(source.source.path).empty()) ||
            source.problem == SourceProblem::noEntries;
    bool incomplete = false;
    for (const SourceTotals& source : host.soFar.sources)
        incomplete = incomplete || !source.error.empty();
    const std::size_t archives = host.soFar.sources.size();
    if (!options.quiet)
        std::fprintf(
            stderr, "%zu %s: %s; %llu bytes in %.1f s%s\n", archives,
            archives == 1 ? "archive" : "archives", VerdictSummary(host.soFar.verdicts).c_str(),
            static_cast<unsigned long long>(host.bytes), seconds, stopped ? " (interrupted)" : "");
    if (stopped || interrupt.Interrupted())
        return exitInterrupted;
    if (ending == platform::WorkerEnding::Failed) {
        std::fprintf(stderr, "kvzip repair: the saving pass ended with an unexpected error\n");
        return exitUnreadable;
    }
    g_runPassword.Clear();
    return VerdictExitCode(host.soFar.verdicts, unreadable, incomplete || host.failed > 0);
}
