#include "cli/verdict_report.h"

#include "cli/json_writer.h"
#include "engine/output_paths.h"
#include "engine/parallel_extraction.h"
#include "engine/scan_state.h"

#include <cstdio>

namespace {

// Folders and debris, which are not files, after the summary of the files.
std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Large writes: most files go to disk in one.
constexpr std::uint32_t kChunkSize = 1 << 20;

// What a reader hands back for an entry.
struct EntryVerdict {
    CFileHeader header;
    ExtractReport report;
};

} // namespace

std::optional<int> StartVerdictCommand(const Command& command,
                                       const std::vector<std::string>& words,
                                       const char* (*operandsError)(const CommandOptions& options),
                                       CommandOptions& options, PasswordInput& passwords) {
    std::string usageError = ParseCommandOptions(words, command, options);
    if (const char* error = operandsError(options); usageError.empty() && error != nullptr)
        usageError = error;
    if (const std::optional<int> code = EndBeforeTheWork(command, options, usageError))
        return code;
    return RefuseUsage(command, LoadPasswordInput(options.passwordFile, passwords));
}

std::string VerdictLine(const ExtractReport& report) {
    char head[16];
    std::snprintf(head, sizeof head, "%-9s ", VerdictName(report.verdict));
    std::string line = head + Printable(report.name);
    if (!report.reason.empty() && report.verdict != Verdict::verified)
        line += ": " + report.reason;
    if (report.link)
        line += " (a link)";
    if (!report.note.empty())
        line += "; " + report.note;
    // AE-2 entries store no CRC: a damaged one has nothing to show here.
    if (report.verdict == Verdict::partial ||
        (report.verdict == Verdict::damaged && report.crcExpected)) {
        line += " (";
        if (report.verdict == Verdict::partial)
            line += std::to_string(report.bytesWritten) + " bytes kept" +
                    (report.crcExpected ? ", " : "");
        if (report.crcExpected)
            line += "CRC-32 " + CrcText(report.crc) + ", stored " + CrcText(report.expectedCrc);
        line += ")";
    }
    if (report.renamed)
        line += "; saved as " + Printable(report.outputPath) + ": another entry had its path";
    return line;
}

bool ShowsLine(const ExtractReport& report, bool verbose) {
    if (verbose)
        return true;
    if (report.IsDebris())
        return false;
    return report.renamed || !report.note.empty() ||
           (report.verdict != Verdict::verified && report.verdict != Verdict::folder);
}

std::string VerdictSummary(const VerdictTally& tally) {
    std::string text = Plural(tally.Files(), "file", "files") + ": " +
                       std::to_string(tally.verified) + " verified, " +
                       std::to_string(tally.damaged) + " damaged, " +
                       std::to_string(tally.partial) + " partial, " +
                       std::to_string(tally.notSaved) + " not saved";
    if (tally.folders > 0)
        text += "; " + Plural(tally.folders, "folder", "folders");
    if (tally.debris > 0)
        text += "; " + std::to_string(tally.debris) + " debris left out";
    if (tally.kept > 0)
        text += "; " + Plural(tally.kept, "existing file", "existing files") + " kept";
    if (tally.listedBack != tally.listed)
        text += "; the directory lists " + Plural(tally.listed, "entry", "entries") + ", " +
                std::to_string(tally.listedBack) + " came back verified";
    return text;
}

void WriteVerdictJson(JsonWriter& json, const ExtractReport& report) {
    json.String("verdict", VerdictName(report.verdict))
        .String("reason", report.reason)
        .Bool("linkMade", report.link)
        .String("note", report.note)
        .Number("bytes", report.bytesWritten)
        .String("crc", CrcText(report.crc));
    if (report.crcExpected)
        json.String("expectedCrc", CrcText(report.expectedCrc));
    else
        json.Null("expectedCrc");
    if (!report.resync)
        return;
    // Decoded past damage: which bytes came back and which are zeros.
    const ResyncOutcome& resync = *report.resync;
    const auto ranges = [&json](std::string_view key, const std::vector<ByteRange>& list) {
        json.BeginArray(key);
        for (const ByteRange& range : list)
            json.BeginObject()
                .Number("offset", range.offset)
                .Number("length", range.length)
                .EndObject();
        json.EndArray();
    };
    json.Key("resync")
        .BeginObject()
        .Number("recovered", resync.recovered)
        .Number("unknownBytes", resync.unknownBytes)
        .Bool("estimated", resync.estimated);
    ranges("lost", resync.lost);
    ranges("unknown", resync.unknown);
    json.EndObject();
}

void WriteTallyJson(JsonWriter& json, std::string_view key, const VerdictTally& tally) {
    json.Key(key)
        .BeginObject()
        .Number("files", static_cast<std::int64_t>(tally.Files()))
        .Number("verified", static_cast<std::int64_t>(tally.verified))
        .Number("damaged", static_cast<std::int64_t>(tally.damaged))
        .Number("partial", static_cast<std::int64_t>(tally.partial))
        .Number("notSaved", static_cast<std::int64_t>(tally.notSaved))
        .Number("folders", static_cast<std::int64_t>(tally.folders))
        .Number("debris", static_cast<std::int64_t>(tally.debris))
        .Number("kept", static_cast<std::int64_t>(tally.kept))
        .Number("directoryListed", static_cast<std::int64_t>(tally.listed))
        .Number("directoryBack", static_cast<std::int64_t>(tally.listedBack))
        .EndObject();
}

int VerdictExitCode(const VerdictTally& tally, bool unreadable, bool incomplete) {
    if (unreadable || (tally.Files() > 0 && tally.Saved() + tally.folders == 0))
        return exitUnreadable;
    return incomplete || !tally.AllVerified() ? exitProblems : exitOk;
}

std::string UnreadableReason(const std::wstring& path, const ArchiveVerdicts& result) {
    // A file that is gone, unreadable or holds no entry at all is not an
    // archive that checks out, whatever its empty tally says.
    if (GetPathKind(path) != PathKind::file)
        return "file missing";
    if (!result.Unreadable())
        return {};
    // An empty archive or file holds no files and has lost none.
    if (!result.error && result.entryCount == 0 && !EmptyKind(path).empty())
        return {};
    return result.error              ? result.error->reason
           : result.tally.debris > 0 ? "no readable entries found"
                                     : "no ZIP data found";
}

ArchiveVerdicts WalkArchive(
    const std::wstring& path, const std::wstring* folder, bool advanced, unsigned jobs,
    const ExtractSafeguards* safeguards, PasswordInput& passwords,
    const std::function<void(std::size_t, const CFileHeader&, const ExtractReport&)>& each) {
    CZipArchive archive;
    ArchiveVerdicts result;
    result.error = OpenWithScan(archive, path, advanced);
    result.entryCount = archive.GetEntryCount();
    ChoosePassword(archive, passwords.run, CommandLineAsk(passwords, Printable(path)));
    // The header as the scan left it, fetched by the reader that takes the
    // entry: what list shows of it.
    const auto salvage = [folder, safeguards](CZipArchive& reader, std::size_t i) {
        EntryVerdict verdict;
        reader.FetchEntryInfo(verdict.header, i);
        ExtractReport& report = verdict.report;
        try {
            if (folder != nullptr)
                reader.ExtractEntryTo(i, *folder, kChunkSize, &report, safeguards);
            else
                reader.TestEntry(i, kChunkSize, report, safeguards);
        } catch (...) {
            // The engine filled the report in before it threw; whatever was
            // written before the error stays on disk.
            if (report.reason.empty())
                report.reason = DescribeCurrentException().reason;
        }
        return verdict;
    };
    const auto tally = [&result, &each](std::size_t i, EntryVerdict& verdict) {
        result.tally.Add(verdict.report);
        if (verdict.report.outcome == ExtractReport::failed)
            ++result.failed;
        each(i, verdict.header, verdict.report);
    };
    ExtractInEntryOrder<EntryVerdict>(
        archive, ExtractionJobs(jobs), salvage, tally,
        [safeguards] { return safeguards != nullptr && safeguards->StopRequested(); },
        folder != nullptr);
    archive.CloseArchive(true);
    return result;
}
