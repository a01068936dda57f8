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

namespace {

const char kExtractUsage[] =
    "Usage: kvzip extract [--advanced] [--json] [-q|-v] [-n|-o] [-j N]\n"
    "                     [--name-encoding NAME] [--password-file FILE]\n"
    "                     [--keep-links-as-files] [--no-resync] ARCHIVE DIR\n"
    "       kvzip extract [OPTIONS] ARCHIVE -d DIR\n"
    "\n"
    "Rebuilds the entry table of ARCHIVE by scanning it byte by byte and\n"
    "writes every entry that can still be read below DIR, under its stored\n"
    "path (confined to DIR). Stored and deflated entries are supported. An\n"
    "entry whose data ends early or turns bad is kept as a partial file;\n"
    "empty files and folders are made. The archive is only read.\n"
    "\n"
    "  -d, --dest DIR        the destination, made when missing (or the operand)\n"
    "  -n, --keep            never write over a file that exists: such an entry\n"
    "                        is not saved, which is no failure\n"
    "  -o, --overwrite-files write over existing files (the default)\n"
    "  --advanced            use the advanced scan (see kvzip list --help)\n"
    "  --json                print one JSON object: every entry with its\n"
    "                        verdict, both CRC-32s and the reason\n"
    "  -q, --quiet           print no summary\n"
    "  -v, --verbose         print a line for every entry, verified ones too\n"
    "  -j, --jobs N          extract on N threads (default: one per core); the\n"
    "                        report keeps the order of the entries\n"
    "  --name-encoding NAME  code page of names not in UTF-8 (default CP437)\n"
    "  --password-file FILE  the password of encrypted entries: the first line\n"
    "                        of FILE ('-': standard input); else the variable\n"
    "                        KVZIP_PASSWORD, else it is asked on the terminal\n"
    "  --no-resync           stop a deflated or bzip2 entry at damage in its data\n"
    "                        instead of decoding the blocks after it\n"
    "  --keep-links-as-files write symbolic links as files holding the path\n"
    "                        they point to\n"
    "  --help                show this text\n"
    "\n"
    "Symbolic links are made as links, never followed afterwards; a link\n"
    "that would point outside DIR (an absolute target, or one that climbs\n"
    "out) is not made. Unix permissions (read, write, run) and the most\n"
    "exact time an entry holds are given to what is made.\n"
    "Every entry gets a verdict: verified (whole, and its CRC-32 matches the\n"
    "stored one), damaged (whole length, but the CRC-32 differs), partial\n"
    "(cut short or the data turned bad; the bytes decoded are kept), not\n"
    "saved (encrypted and no password or a wrong one, a method not supported,\n"
    "no safe path, or the file could not be made) or folder. Encrypted\n"
    "entries (the traditional ZIP cipher or AES) are judged alike; for AES\n"
    "the authentication code counts as their CRC-32. A line is printed for\n"
    "each entry that is not verified, then the summary: N files: A verified,\n"
    "B damaged, C partial, D not saved. Debris (no name, control characters\n"
    "in it, nothing but separators and dots, or a compression method no ZIP\n"
    "writer uses: what a false header gives) is counted apart and shown with\n"
    "--verbose. An entry whose path another entry's name had already taken\n"
    "is saved with \" (2)\" before its extension, and reported. No file of\n"
    "the archive is ever written over, and links already below DIR are not\n"
    "followed. Ctrl+C stops inside an entry and keeps its partial file; a\n"
    "second Ctrl+C ends at once.\n"
    "Exit codes: 0 every entry saved and verified, 3 something saved but not\n"
    "everything verified, 1 nothing could be read or written, 2 usage,\n"
    "130 interrupted.\n";

} // namespace

int RunExtract(const std::vector<std::string>& words) {
    CommandOptions options;
    PasswordInput passwords;
    if (const std::optional<int> code = StartVerdictCommand(
            "extract", kExtractUsage, words,
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
