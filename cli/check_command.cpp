// `kvzip check`: decodes every entry of each archive without writing
// anything and says what each would come to, as `extract` would.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/verdict_report.h"
#include "platform/text.h"

#include <cstdio>

int RunCheck(const Command& command, const std::vector<std::string>& words) {
    CommandOptions options;
    PasswordInput passwords;
    if (const std::optional<int> code = StartVerdictCommand(
            command, words,
            [](const CommandOptions& given) {
                return given.operands.empty() ? "expected at least one ARCHIVE"
                       : !given.dest.empty() || given.keep
                           ? "check writes nothing: it takes no destination"
                           : nullptr;
            },
            options, passwords))
        return *code;
    JsonWriter json;
    if (options.json)
        json.BeginDocument()
            .String("mode", options.advanced ? "advanced" : "quick")
            .BeginArray("archives");
    VerdictTally total;
    bool unreadable = false;
    bool incomplete = false;
    InterruptWatch interrupt([] {});
    ExtractSafeguards safeguards;
    safeguards.resync = !options.noResync;
    safeguards.keepLinksAsFiles = options.keepLinksAsFiles;
    safeguards.stopRequested = [&interrupt] { return interrupt.Interrupted(); };
    passwords.stopped = safeguards.stopRequested;
    std::size_t checked = 0;
    for (const std::string& operand : options.operands) {
        if (interrupt.Interrupted())
            break;
        ++checked;
        const std::wstring path = platform::DecodeLocal(operand);
        const std::string shown = Printable(path);
        if (options.json)
            json.BeginObject().String("archive", path).BeginArray("entries");
        bool headed = false;
        const ArchiveVerdicts result =
            WalkArchive(path, nullptr, options.advanced, options.jobCount, &safeguards, passwords,
                        [&](std::size_t i, const CFileHeader& header, const ExtractReport& r) {
                            if (options.json) {
                                BeginEntryJson(json, i, header);
                                WriteVerdictJson(json, r);
                                json.EndObject();
                            } else if (ShowsLine(r, options.verbose)) {
                                if (!headed)
                                    std::printf("%s:\n", shown.c_str());
                                headed = true;
                                std::printf("  %s\n", VerdictLine(r).c_str());
                            }
                        });
        total.Add(result.tally);
        const std::string empty = result.Unreadable() && !result.error && result.entryCount == 0
                                      ? EmptyKind(path)
                                      : std::string();
        const std::string why = UnreadableReason(path, result);
        unreadable = unreadable || !why.empty();
        incomplete = incomplete || result.error.has_value();
        if (options.json) {
            json.EndArray().Number("entryCount", static_cast<std::int64_t>(result.entryCount));
            WriteErrorJson(json, result.error);
            if (why.empty())
                json.Null("unreadable");
            else
                json.String("unreadable", why);
            if (empty.empty())
                json.Null("empty");
            else
                json.String("empty", empty);
            WriteTallyJson(json, "summary", result.tally);
            json.EndObject();
        } else if (!why.empty()) {
            std::printf("%s: cannot be read: %s\n", shown.c_str(), why.c_str());
        } else if (!empty.empty()) {
            std::printf("%s: %s\n", shown.c_str(), empty.c_str());
        } else if (!options.quiet) {
            std::printf("%s: %s%s\n", shown.c_str(), VerdictSummary(result.tally).c_str(),
                        result.error ? ("; read only in part: " + result.error->reason).c_str()
                                     : "");
        }
    }
    const bool interrupted = interrupt.Interrupted();
    if (options.json) {
        json.EndArray();
        WriteTallyJson(json, "summary", total);
        json.Bool("interrupted", interrupted).EndObject();
        std::printf("%s\n", json.Text().c_str());
    } else if ((options.operands.size() > 1 || interrupted) && !options.quiet) {
        std::printf("%zu %s: %s%s\n", checked, checked == 1 ? "archive" : "archives",
                    VerdictSummary(total).c_str(), interrupted ? " (interrupted)" : "");
    }
    if (interrupted)
        return exitInterrupted;
    return VerdictExitCode(total, unreadable, incomplete);
}
