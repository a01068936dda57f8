// `kvzip analyse`: the analysis pass of the desktop program over each
// archive, with the rows its preview would show and the same log lines.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console_message_box.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/progress_display.h"
#include "cli/run_log.h"
#include "engine/output_paths.h"
#include "engine/scan_state.h"
#include "engine/zip_exception.h"
#include "log/activity_log.h"
#include "platform/text.h"
#include "platform/worker_thread.h"
#include "workflow/analysis_format.h"
#include "workflow/analysis_host.h"
#include "workflow/analysis_worker.h"
#include "workflow/repair_log.h"
#include "workflow/repair_state.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <unistd.h>

namespace {

// A row as the command keeps it until it is printed: the values only, the
// name in UTF-8. The texts are made again when the row is printed, so an
// archive of many entries takes little more memory here than in the scan.
struct ListedEntry {
    std::string name;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t compressedSize = 0;
    std::int64_t modifiedTime = 0;
    std::uint32_t crc = 0;
    std::string method; // its label, short enough to need no memory of its own

    EntryRow Row() const {
        EntryRow row;
        row.name = platform::FromUtf8(name);
        row.uncompressedSize = uncompressedSize;
        row.compressedSize = compressedSize;
        row.ratio = CompressionRatio(compressedSize, uncompressedSize);
        row.modifiedTime = modifiedTime;
        row.crc = crc;
        row.texts[columnFileName] = row.name;
        row.texts[columnUncompressedSize] = FormatSizeText(uncompressedSize);
        row.texts[columnCompressedSize] = FormatSizeText(compressedSize);
        row.texts[columnRatio] = FormatRatioText(compressedSize, uncompressedSize);
        row.texts[columnModifiedTime] = FormatModifiedTimeText(modifiedTime);
        row.texts[columnCrc] = FormatCrcText(crc);
        row.texts[columnMethod] = platform::FromUtf8(method);
        return row;
    }
};

// The preview's list and the analysis dialog's bar, on the terminal.
class ConsoleAnalysisHost : public AnalysisHost {
public:
    ConsoleAnalysisHost(int number, ProgressDisplay& display)
        : m_number(number), m_display(display) {}

    int CurrentFileNumber() override { return m_number; }
    void SourceStarted(const SourceStart&) override { rows.clear(); }
    void EntriesListed(std::vector<EntryRow> listed) override {
        if (outOfMemory)
            return;
        try {
            for (const EntryRow& row : listed)
                rows.push_back({platform::ToUtf8(row.name), row.uncompressedSize,
                                row.compressedSize, row.modifiedTime, row.crc,
                                platform::ToUtf8(row.texts[columnMethod])});
        } catch (const std::bad_alloc&) {
            // The rows kept so far are printed; the rest are said to be missing.
            outOfMemory = true;
        }
    }
    void Progress(const PassProgress& progress) override { m_display.SetCurrent(progress.current); }
    void SourceDone(const SourceTotals& totals) override { source = totals; }
    void PassDone(const PassTotals&) override {}

    std::vector<ListedEntry> rows;
    bool outOfMemory = false;
    SourceTotals source;

private:
    int m_number;
    ProgressDisplay& m_display;
};

struct ArchiveResult {
    std::wstring path;
    bool missing = false;
    // Why nothing was listed, if so.
    SourceProblem problem = SourceProblem::none;
    std::vector<ListedEntry> rows;
    std::vector<std::wstring> errors;
};

void PrintRows(const ArchiveResult& result, int number, int count) {
    std::printf("%s (file %d of %d)\n", Printable(result.path).c_str(), number, count);
    static const char* const kHeadings[] = {
        "File Name",         "UnCompressed File Size", "Compressed File Size",
        "Compression Ratio", "Modified Time",          "CRC 32"};
    std::size_t nameWidth = 9;
    for (const ListedEntry& entry : result.rows)
        nameWidth = std::max(nameWidth, DisplayWidth(platform::FromUtf8(entry.name)));
    nameWidth = std::min<std::size_t>(nameWidth, 60);
    std::printf("  %-*s  %22s  %20s  %17s  %-22s  %s\n", static_cast<int>(nameWidth), kHeadings[0],
                kHeadings[1], kHeadings[2], kHeadings[3], kHeadings[4], kHeadings[5]);
    for (const ListedEntry& entry : result.rows) {
        const EntryRow row = entry.Row();
        std::printf("  %s  %22s  %20s  %17s  %-22s  %s\n",
                    PaddedPrintable(row.texts[columnFileName], nameWidth).c_str(),
                    Printable(row.texts[columnUncompressedSize]).c_str(),
                    Printable(row.texts[columnCompressedSize]).c_str(),
                    Printable(row.texts[columnRatio]).c_str(),
                    Printable(row.texts[columnModifiedTime]).c_str(),
                    Printable(row.texts[columnCrc]).c_str());
    }
    std::printf("Number Of Files Extracted  :      %zu\n\n", result.rows.size());
}

void WriteRowJson(JsonWriter& json, const EntryRow& row) {
    json.BeginObject()
        .String("name", row.name)
        .String("fileName", row.texts[columnFileName])
        .Number("uncompressedSize", row.uncompressedSize)
        .String("uncompressedSizeText", row.texts[columnUncompressedSize])
        .Number("compressedSize", row.compressedSize)
        .String("compressedSizeText", row.texts[columnCompressedSize])
        .Number("ratio", row.ratio)
        .String("ratioText", row.texts[columnRatio])
        .Number("modifiedTime", row.modifiedTime)
        .String("modifiedTimeText", row.texts[columnModifiedTime])
        .Number("crc", row.crc)
        .String("crcText", row.texts[columnCrc])
        .String("methodText", row.texts[columnMethod])
        .EndObject();
}

void PrintJson(const std::vector<ArchiveResult>& results, bool advanced, bool interrupted) {
    JsonWriter json;
    json.BeginDocument()
        .String("mode", advanced ? "advanced" : "quick")
        .Bool("interrupted", interrupted)
        .BeginArray("archives");
    int number = 1;
    for (const ArchiveResult& result : results) {
        json.BeginObject()
            .String("archive", result.path)
            .Number("number", number++)
            .Bool("missing", result.missing)
            .String("problem", SourceProblemText(result.problem))
            .Number("listedCount", static_cast<std::int64_t>(result.rows.size()));
        json.BeginArray("errors");
        for (const std::wstring& error : result.errors)
            json.String({}, error);
        json.EndArray().BeginArray("rows");
        for (const ListedEntry& entry : result.rows)
            WriteRowJson(json, entry.Row());
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    std::printf("%s\n", json.Text().c_str());
}

} // namespace

int RunAnalyse(const Command& command, const std::vector<std::string>& words) {
    CommandOptions options;
    std::string usageError = ParseCommandOptions(words, command, options);
    if (usageError.empty())
        usageError = LogTargetError(options);
    if (usageError.empty() && options.operands.empty())
        usageError = "expected at least one ARCHIVE";
    if (const std::optional<int> code = EndBeforeTheWork(command, options, usageError))
        return *code;
    const std::vector<std::wstring> paths = StartDesktopRun(options);

    const int count = static_cast<int>(paths.size());
    ProgressDisplay display("analysing", count, isatty(STDERR_FILENO) == 1);
    ConsoleMessageBoxes boxes([](const std::wstring&) { return false; });
    platform::WorkerThread worker;
    InterruptWatch interrupt([&worker] { worker.Gate().Stop(); });

    std::vector<ArchiveResult> results;
    bool unreadable = false;
    for (int number = 1; number <= count && !interrupt.Interrupted(); ++number) {
        ArchiveResult result;
        result.path = paths[static_cast<std::size_t>(number - 1)];
        result.missing = GetPathKind(result.path) != PathKind::file;
        std::uint64_t size = 0;
        if (!result.missing) {
            CFile file;
            if (file.Open(result.path, CFile::modeRead))
                size = file.GetLength();
        }
        display.BeginArchive(number, Printable(result.path), size);
        ConsoleAnalysisHost host(number, display);
        worker.Start([&host](platform::WorkerGate& gate) { return AnalysisWorker(host, gate); });
        if (interrupt.Interrupted())
            worker.Gate().Stop();
        const platform::WorkerEnding ending = worker.Join();
        const bool stopped = ending == platform::WorkerEnding::Stopped;
        result.rows = std::move(host.rows);
        if (!host.source.error.empty())
            result.errors.push_back(host.source.error);
        if (host.outOfMemory)
            result.errors.push_back(
                CZipException(CZipException::tooManyEntries, result.path).GetReason());
        else if (ending == platform::WorkerEnding::Failed)
            result.errors.push_back(L"the analysis ended with an unexpected error");
        if (result.missing)
            result.errors.insert(result.errors.begin(), L"no such file");
        unreadable = unreadable || !result.errors.empty();
        result.problem = host.source.problem;
        display.EndArchive(stopped                  ? "interrupted"
                           : !result.errors.empty() ? Printable(result.errors.front())
                           : result.problem != SourceProblem::none
                               ? Printable(SourceProblemText(result.problem))
                               : std::to_string(result.rows.size()) + " entries listed");
        if (!options.json)
            PrintRows(result, number, count);
        results.push_back(std::move(result));
    }
    if (options.json)
        PrintJson(results, options.advanced, interrupt.Interrupted());
    if (interrupt.Interrupted())
        return exitInterrupted;
    return unreadable ? exitUnreadable : exitOk;
}
