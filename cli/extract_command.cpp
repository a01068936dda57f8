// `kvzip extract`: salvages every entry the scan finds into a folder and
// says what each came to.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/verdict_report.h"
#include "engine/scan_state.h"
#include "platform/text.h"

#include <cstdio>

int RunExtract(const Command& command, const std::vector<std::string>& words) {
    CommandOptions options;
    PasswordInput passwords;
    if (const std::optional<int> code = StartVerdictCommand(
            command, words,
            [](const CommandOptions& given) {
                const std::size_t wanted = given.dest.empty() ? 2 : 1;
                return given.operands.size() != wanted
                           ? "expected ARCHIVE and DIR, or ARCHIVE -d DIR"
                           : nullptr;
            },
            options, passwords))
        return *code;
    const std::wstring path = platform::DecodeLocal(options.operands[0]);
    const std::wstring folder =
        platform::DecodeLocal(options.dest.empty() ? options.operands[1] : options.dest);
    JsonWriter json;
    std::uint64_t bytes = 0;
    if (options.json)
        json.BeginDocument()
            .String("archive", path)
            .String("destination", folder)
            .String("mode", options.advanced ? "advanced" : "quick")
            .BeginArray("entries");
    InterruptWatch interrupt([] {});
    ExtractSafeguards safeguards;
    safeguards.destination = folder;
    safeguards.keepExisting = options.keep;
    safeguards.resync = !options.noResync;
    safeguards.keepLinksAsFiles = options.keepLinksAsFiles;
    safeguards.stopRequested = [&interrupt] { return interrupt.Interrupted(); };
    passwords.stopped = safeguards.stopRequested;
    const ArchiveVerdicts result = WalkArchive(
        path, &folder, options.advanced, options.jobCount, &safeguards, passwords,
        [&](std::size_t i, const CFileHeader& header, const ExtractReport& report) {
            bytes += report.bytesWritten;
            if (options.json) {
                BeginEntryJson(json, i, header);
                WriteVerdictJson(json, report);
                json.String("path", report.outputPath).Bool("renamed", report.renamed).EndObject();
            } else if (ShowsLine(report, options.verbose)) {
                std::printf("%s\n", VerdictLine(report).c_str());
            }
        });
    const std::string shown = Printable(path);
    const std::string why = UnreadableReason(path, result);
    if (!why.empty() && !options.json)
        std::fprintf(stderr, "kvzip extract: %s: cannot be read: %s\n", shown.c_str(), why.c_str());
    else if (result.error && !options.json)
        std::fprintf(stderr, "kvzip extract: %s: %s (the entries found before it were extracted)\n",
                     shown.c_str(), result.error->reason.c_str());

    const bool interrupted = interrupt.Interrupted();
    if (options.json) {
        json.EndArray().Number("entryCount", static_cast<std::int64_t>(result.entryCount));
        WriteErrorJson(json, result.error);
        if (why.empty())
            json.Null("unreadable");
        else
            json.String("unreadable", why);
        WriteTallyJson(json, "summary", result.tally);
        json.Number("bytesWritten", static_cast<std::int64_t>(bytes))
            .Bool("interrupted", interrupted)
            .EndObject();
        std::printf("%s\n", json.Text().c_str());
    } else if (why.empty() && !options.quiet) {
        if (!result.error && result.entryCount == 0)
            if (const std::string empty = EmptyKind(path); !empty.empty())
                std::printf("%s\n", empty.c_str());
        std::printf("%s; %llu bytes written to %s%s\n", VerdictSummary(result.tally).c_str(),
                    static_cast<unsigned long long>(bytes), Printable(folder).c_str(),
                    interrupted ? " (interrupted)" : "");
    }
    if (interrupted)
        return exitInterrupted;
    return VerdictExitCode(result.tally, !why.empty(), result.error || result.failed > 0);
}
