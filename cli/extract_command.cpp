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
    "Usage: kvzip extract [--advanced] [--json] [--verbose] [--jobs N]\n"
    "                     [--name-encoding NAME] [--password-file FILE]\n"
    "                     [--keep-links-as-files] ARCHIVE DIR\n"
    "\n"
    "Rebuilds the entry table of ARCHIVE by scanning it byte by byte and\n"
    "writes every entry that can still be read below DIR, under its stored\n"
    "path (confined to DIR). Stored and deflated entries are supported. An\n"
    "entry whose data ends early or turns bad is kept as a partial file;\n"
    "empty files and folders are made. The archive is only read.\n"
    "\n"
    "  --advanced            use the advanced scan (see kvzip list --help)\n"
    "  --json                print one JSON object: every entry with its\n"
    "                        verdict, both CRC-32s and the reason\n"
    "  --verbose             print a line for every entry, verified ones too\n"
    "  --jobs N              extract on N threads (default: one per core); the\n"
    "                        report keeps the order of the entries\n"
    "  --name-encoding NAME  code page of names not in UTF-8 (default CP437)\n"
    "  --password-file FILE  the password of encrypted entries: the first line\n"
    "                        of FILE ('-': standard input); else the variable\n"
    "                        KVZIP_PASSWORD, else it is asked on the terminal\n"
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
    "the authentication code counts as their CRC-32. A line is printed for each entry that is\n"
    "not verified, then the summary: N files: A verified, B damaged,\n"
    "C partial, D not saved. Debris (no name, control characters in it,\n"
    "nothing but separators and dots, or a compression method no ZIP writer\n"
    "uses: what a false header gives) is counted apart and shown with\n"
    "--verbose. An entry whose path another entry's name had already taken\n"
    "is saved with \" (2)\" before its extension, and reported. No file of\n"
    "the archive is ever written over, and links already below DIR are not\n"
    "followed. Ctrl+C stops inside an entry and keeps its partial file; a\n"
    "second Ctrl+C ends at once.\n"
    "Exit codes: 0 scanned (even with damaged, partial or unsaved entries;\n"
    "see kvzip check), 1 the archive could not be opened or read, or a file\n"
    "could not be written, 2 usage, 130 interrupted.\n";

} // namespace

int RunExtract(const std::vector<std::string>& words) {
    CommandOptions options;
    PasswordInput passwords;
    if (const std::optional<int> code = StartVerdictCommand(
            "extract", kExtractUsage, words,
            [](std::size_t count) { return count != 2 ? "expected ARCHIVE and DIR" : nullptr; },
            options, passwords))
        return *code;
    const std::wstring path = platform::DecodeLocal(options.operands[0]);
    const std::wstring folder = platform::DecodeLocal(options.operands[1]);
    JsonWriter json;
    std::uint64_t bytes = 0;
    if (options.json)
        json.BeginObject()
            .String("archive", path)
            .String("destination", folder)
            .String("mode", options.advanced ? "advanced" : "quick")
            .BeginArray("entries");
    InterruptWatch interrupt([] {});
    ExtractSafeguards safeguards;
    safeguards.destination = folder;
    safeguards.keepLinksAsFiles = options.keepLinksAsFiles;
    safeguards.stopRequested = [&interrupt] { return interrupt.Interrupted(); };
    passwords.stopped = safeguards.stopRequested;
    const ArchiveVerdicts result = WalkArchive(
        path, &folder, options.advanced, options.jobCount, &safeguards, passwords,
        [&](std::size_t i, const ExtractReport& report) {
            bytes += report.bytesWritten;
            if (options.json) {
                json.BeginObject()
                    .Number("index", static_cast<std::int64_t>(i))
                    .String("name", report.name);
                WriteVerdictJson(json, report);
                json.Number("bytesWritten", static_cast<std::int64_t>(report.bytesWritten))
                    .String("path", report.outputPath)
                    .Bool("renamed", report.renamed)
                    .EndObject();
            } else if (ShowsLine(report, options.verbose)) {
                std::printf("%s\n", VerdictLine(report).c_str());
            }
        });
    if (result.error && !options.json)
        std::fprintf(stderr, "kvzip: %s: %s%s\n", options.operands[0].c_str(),
                     result.error->reason.c_str(),
                     result.entryCount > 0 ? " (the entries found before it were extracted)" : "");

    const bool interrupted = interrupt.Interrupted();
    if (options.json) {
        json.EndArray().Number("entryCount", static_cast<std::int64_t>(result.entryCount));
        WriteErrorJson(json, result.error);
        WriteTallyJson(json, "summary", result.tally);
        json.Number("bytesWritten", static_cast<std::int64_t>(bytes))
            .Bool("interrupted", interrupted)
            .EndObject();
        std::printf("%s\n", json.Text().c_str());
    } else {
        if (!result.error && result.entryCount == 0)
            if (const std::string empty = EmptyKind(path); !empty.empty())
                std::printf("%s\n", empty.c_str());
        std::printf("%s; %llu bytes written to %s%s\n", VerdictSummary(result.tally).c_str(),
                    static_cast<unsigned long long>(bytes), options.operands[1].c_str(),
                    interrupted ? " (interrupted)" : "");
    }
    if (interrupted)
        return exitInterrupted;
    return result.error || result.failed > 0 ? exitUnreadable : exitOk;
}
