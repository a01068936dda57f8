// `kvzip extract`: salvages every entry the scan finds into a folder.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "engine/parallel_extraction.h"
#include "engine/scan_state.h"
#include "platform/text.h"

#include <array>
#include <cstdio>

namespace {

const char kExtractUsage[] =
    "Usage: kvzip extract [--advanced] [--json] [--jobs N] [--name-encoding NAME] ARCHIVE DIR\n"
    "\n"
    "Rebuilds the entry table of ARCHIVE by scanning it byte by byte and\n"
    "writes every entry that can still be read below DIR, under its stored\n"
    "path (confined to DIR). Stored and deflated entries are supported. An\n"
    "entry whose data ends early or turns bad is kept as a partial file;\n"
    "empty files and folders are made. The archive is only read.\n"
    "\n"
    "  --advanced            use the advanced scan (see kvzip list --help)\n"
    "  --json                print one JSON object instead of one line per entry\n"
    "  --jobs N              extract on N threads (default: one per core); the\n"
    "                        report keeps the order of the entries\n"
    "  --name-encoding NAME  code page of names not in UTF-8 (default CP437)\n"
    "  --help                show this text\n"
    "\n"
    "Each entry is reported as written, partial, folder (a folder made),\n"
    "skipped (debris: no name, control characters in it, nothing but\n"
    "separators and dots, or a compression method no ZIP writer uses),\n"
    "refused (no safe path, or its file would overwrite the archive) or\n"
    "failed, then a summary.\n"
    "An entry whose path another entry's name had already taken is saved\n"
    "with \" (2)\" before its extension, and reported. Links already below\n"
    "DIR are not followed. Ctrl+C stops inside an entry and keeps its\n"
    "partial file; a second Ctrl+C ends at once. Exit codes: 0 scanned (even\n"
    "with partial, skipped or refused entries), 1 the archive could not be\n"
    "opened or read, or an entry failed, 2 usage, 130 interrupted.\n";

constexpr std::array<const char*, 6> kOutcomeNames = {"written", "partial", "skipped",
                                                      "refused", "failed",  "folder"};

// Large writes: most files go to disk in one.
constexpr std::uint32_t kChunkSize = 1 << 20;

struct EntryResult {
    ExtractReport report;
    std::optional<ReportedError> error;
};

EntryResult ExtractOne(CZipArchive& archive, std::size_t index, const std::wstring& folder,
                       const ExtractSafeguards& safeguards) {
    EntryResult result;
    try {
        archive.ExtractEntryTo(index, folder, kChunkSize, &result.report, &safeguards);
    } catch (...) {
        // Whatever was written before the error stays on disk and is counted.
        result.report.outcome = ExtractReport::failed;
        result.error = DescribeCurrentException();
    }
    return result;
}

// More threads than this only queue for the same cores and disk.
constexpr unsigned kMaxJobs = 64;

bool ParseJobs(const std::string& text, unsigned& jobs) {
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    jobs = static_cast<unsigned>(std::stoul(text));
    return jobs >= 1 && jobs <= kMaxJobs;
}

std::string ReasonOf(const EntryResult& result) {
    if (result.error)
        return result.error->reason;
    return result.report.reason;
}

} // namespace

int RunExtract(const std::vector<std::string>& words) {
    CommandOptions options;
    const std::string usageError =
        ParseCommandOptions(words, {"--advanced", "--json", "--jobs", "--name-encoding"}, options);
    if (options.help) {
        std::fputs(kExtractUsage, stdout);
        return exitOk;
    }
    if (!usageError.empty() || options.operands.size() != 2) {
        std::fprintf(stderr, "kvzip extract: %s\n%s",
                     usageError.empty() ? "expected ARCHIVE and DIR" : usageError.c_str(),
                     kExtractUsage);
        return exitUsage;
    }
    unsigned jobs = 0;
    if (!options.jobs.empty() && !ParseJobs(options.jobs, jobs)) {
        std::fprintf(stderr, "kvzip extract: --jobs takes a number from 1 to %u\n%s", kMaxJobs,
                     kExtractUsage);
        return exitUsage;
    }
    jobs = ExtractionJobs(jobs);
    const std::wstring path = platform::DecodeLocal(options.operands[0]);
    const std::wstring folder = platform::DecodeLocal(options.operands[1]);

    CZipArchive archive;
    const std::optional<ReportedError> openError = OpenWithScan(archive, path, options.advanced);
    if (openError && !options.json)
        std::fprintf(
            stderr, "kvzip: %s: %s%s\n", options.operands[0].c_str(), openError->reason.c_str(),
            archive.GetEntryCount() > 0 ? " (extracting the entries found before it)" : "");

    std::array<std::size_t, kOutcomeNames.size()> counts{};
    std::uint64_t bytes = 0;
    JsonWriter json;
    if (options.json) {
        json.BeginObject()
            .String("archive", path)
            .String("destination", folder)
            .String("mode", options.advanced ? "advanced" : "quick")
            .Number("entryCount", g_entryCount)
            .Number("descriptorSeen", g_descriptorSeen);
        WriteErrorJson(json, openError);
        json.BeginArray("entries");
    }
    InterruptWatch interrupt([] {});
    ExtractSafeguards safeguards;
    safeguards.destination = folder;
    safeguards.stopRequested = [&interrupt] { return interrupt.Interrupted(); };
    const auto extract = [&folder, &safeguards](CZipArchive& reader, std::size_t i) {
        return ExtractOne(reader, i, folder, safeguards);
    };
    CFileHeader header;
    const auto report = [&](std::size_t i, EntryResult& result) {
        archive.FetchEntryInfo(header, i);
        ++counts[result.report.outcome];
        bytes += result.report.bytesWritten;
        const std::string reason = ReasonOf(result);
        if (options.json) {
            json.BeginObject()
                .Number("index", i)
                .String("name", header.name)
                .String("outcome", kOutcomeNames[result.report.outcome])
                .String("reason", reason)
                .Number("bytesWritten", result.report.bytesWritten)
                .String("path", result.report.outputPath)
                .Bool("renamed", result.report.renamed)
                .EndObject();
            return;
        }
        std::printf("%-8s %s", kOutcomeNames[result.report.outcome],
                    Printable(header.name).c_str());
        if (result.report.bytesWritten > 0 || result.report.outcome == ExtractReport::written)
            std::printf(" (%llu bytes)",
                        static_cast<unsigned long long>(result.report.bytesWritten));
        if (!reason.empty())
            std::printf(": %s", reason.c_str());
        if (result.report.renamed)
            std::printf(", saved as %s: another entry had its path",
                        Printable(result.report.outputPath).c_str());
        std::printf("\n");
    };
    ExtractInEntryOrder<EntryResult>(archive, jobs, extract, report,
                                     [&interrupt] { return interrupt.Interrupted(); });
    archive.CloseArchive(true);

    const bool interrupted = interrupt.Interrupted();
    if (options.json) {
        json.EndArray().Key("summary").BeginObject();
        for (std::size_t k = 0; k < kOutcomeNames.size(); ++k)
            json.Number(kOutcomeNames[k], counts[k]);
        json.Number("bytesWritten", bytes).Bool("interrupted", interrupted).EndObject().EndObject();
        std::printf("%s\n", json.Text().c_str());
    } else {
        std::size_t total = 0;
        for (std::size_t count : counts)
            total += count;
        std::printf("%zu entries: %zu written, %zu partial, %zu folders made, %zu skipped, "
                    "%zu refused, %zu failed; %llu bytes written to %s%s\n",
                    total, counts[ExtractReport::written], counts[ExtractReport::partial],
                    counts[ExtractReport::folder], counts[ExtractReport::skipped],
                    counts[ExtractReport::refused], counts[ExtractReport::failed],
                    static_cast<unsigned long long>(bytes), options.operands[1].c_str(),
                    interrupted ? " (interrupted)" : "");
    }
    if (interrupted)
        return exitInterrupted;
    return openError || counts[ExtractReport::failed] > 0 ? exitUnreadable : exitOk;
}
