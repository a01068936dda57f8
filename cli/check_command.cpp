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

namespace {

const char kCheckUsage[] =
    "Usage: kvzip check [--advanced] [--json] [-q|-v] [-j N]\n"
    "                   [--name-encoding NAME] [--password-file FILE]\n"
    "                   [--keep-links-as-files] [--no-resync] ARCHIVE...\n"
    "\n"
    "Rebuilds the entry table of each ARCHIVE by scanning it byte by byte and\n"
    "decodes every entry without writing anything, to tell which entries\n"
    "would come back sound. The verdicts are those of kvzip extract: verified\n"
    "(whole, and its CRC-32 matches the stored one), damaged (whole length,\n"
    "but the CRC-32 differs), partial (cut short or the data turned bad), not\n"
    "saved (encrypted and no password or a wrong one, a method not supported,\n"
    "no safe path) or folder. \"not saved: wrong password\" means the\n"
    "password's check failed; an entry whose data changed is damaged.\n"
    "A line is printed for each entry that is not verified, then the summary\n"
    "of each archive (N files: A verified, B damaged, C partial, D not saved)\n"
    "and of the run. Debris (what a false header gives) is counted apart and\n"
    "does not change the exit code.\n"
    "\n"
    "  --advanced            use the advanced scan (see kvzip list --help)\n"
    "  --json                print one JSON object: every entry with its\n"
    "                        verdict, both CRC-32s and the reason\n"
    "  -q, --quiet           print no summary\n"
    "  -v, --verbose         print a line for every entry, verified ones too\n"
    "  -j, --jobs N          decode on N threads (default: one per core); the\n"
    "                        report keeps the order of the entries\n"
    "  --name-encoding NAME  code page of names not in UTF-8 (default CP437)\n"
    "  --password-file FILE  the password of encrypted entries: the first line\n"
    "                        of FILE ('-': standard input); else the variable\n"
    "                        KVZIP_PASSWORD, else it is asked on the terminal\n"
    "  --no-resync           judge deflated and bzip2 entries as read up to\n"
    "                        damage in their data, without the blocks after it\n"
    "  --keep-links-as-files judge symbolic links as kvzip extract does with\n"
    "                        the same option: as files\n"
    "  --help                show this text\n"
    "\n"
    "An entry whose local header is gone is read from the central directory's\n"
    "record of it; the summary says how many entries the directory lists when\n"
    "fewer of them came back verified.\n"
    "\n"
    "Exit codes: 0 every entry found is verified, 3 an entry is damaged,\n"
    "partial or would not be saved, or one the directory lists did not come\n"
    "back verified (or an archive was read only in part), 1 nothing could be\n"
    "read (an archive missing, not readable, or no ZIP entries in it),\n"
    "2 usage, 130 interrupted. An empty archive (or an empty file) is said to\n"
    "be one, with 0.\n";

} // namespace

int RunCheck(const std::vector<std::string>& words) {
    CommandOptions options;
    PasswordInput passwords;
    if (const std::optional<int> code = StartVerdictCommand(
            "check", kCheckUsage, words,
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
