// `kvzip list`: the entry table that the scan rebuilds, as the engine
// hands it out.
#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "engine/debris.h"
#include "engine/entry_decoder.h"
#include "engine/scan_state.h"
#include "platform/text.h"

#include <cstdio>

namespace {

void PrintTable(const std::wstring& path, bool advanced, const CZipArchive& archive) {
    std::printf("%s (%s scan): %d entries%s\n", Printable(path).c_str(),
                advanced ? "advanced" : "quick", static_cast<int>(archive.GetEntryCount()),
                archive.DescriptorSeen() ? ", data descriptors seen" : "");
    std::printf("%6s %12s %12s %-9s %-10s %-19s %10s  %s\n", "Index", "Size", "Packed", "Method",
                "CRC-32", "Modified", "Offset", "Name");
    CFileHeader header;
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i) {
        archive.FetchEntryInfo(header, i);
        const Debris debris = FindDebris(header);
        const bool folderByAttributes = header.IsFolder() && !header.name.empty() &&
                                        header.name.back() != platform::kNativeSeparator;
        std::printf("%6zu %12llu %12llu %-9s %s   %-19s %10llu  %s%s%s%s%s%s%s%s\n", i,
                    static_cast<unsigned long long>(header.uncompressedSize),
                    static_cast<unsigned long long>(header.compressedSize),
                    MethodLabel(header.DataMethod()).c_str(), CrcText(header.storedCrc).c_str(),
                    LocalTimeText(header).c_str(),
                    static_cast<unsigned long long>(header.localHeaderOffset),
                    Printable(header.name).c_str(), folderByAttributes ? "  (folder)" : "",
                    header.IsLink() ? "  (link)" : "", header.openEnded ? "  (no sizes)" : "",
                    IsEncrypted(header) ? "  (encrypted)" : "", debris != Debris::none ? "  (" : "",
                    DebrisReason(debris), debris != Debris::none ? ")" : "");
    }
}

void PrintJson(const std::wstring& path, bool advanced, const CZipArchive& archive,
               const std::optional<ReportedError>& error) {
    JsonWriter json;
    json.BeginDocument()
        .String("archive", path)
        .String("mode", advanced ? "advanced" : "quick")
        .Number("entryCount", archive.GetEntryCount())
        .Number("descriptorSeen", archive.DescriptorSeen() ? 1 : 0);
    WriteErrorJson(json, error);
    json.BeginArray("entries");
    CFileHeader header;
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i) {
        archive.FetchEntryInfo(header, i);
        BeginEntryJson(json, i, header);
        json.EndObject();
    }
    json.EndArray().EndObject();
    std::printf("%s\n", json.Text().c_str());
}

} // namespace

int RunList(const Command& command, const std::vector<std::string>& words) {
    CommandOptions options;
    std::string usageError = ParseCommandOptions(words, command, options);
    if (usageError.empty() && options.operands.size() != 1)
        usageError = "expected one ARCHIVE";
    if (const std::optional<int> code = EndBeforeTheWork(command, options, usageError))
        return *code;
    const std::wstring path = platform::DecodeLocal(options.operands[0]);
    CZipArchive archive;
    // The scan cannot stop half-way: the first Ctrl+C ends the command
    // after it, the second at once.
    InterruptWatch interrupt([] {});
    const std::optional<ReportedError> error = OpenWithScan(archive, path, options.advanced);
    if (interrupt.Interrupted()) {
        std::fprintf(stderr, "kvzip list: interrupted\n");
        return exitInterrupted;
    }
    // An empty archive lists as empty; any other file without entries is
    // not an archive that lists (as check and extract say), and an archive
    // that could not be opened has no table to head: stdout stays empty
    // and the error says why.
    const bool noEntries = archive.GetEntryCount() == 0;
    const std::string empty = noEntries && !error ? EmptyKind(path) : std::string();
    if (!error && noEntries && empty.empty()) {
        archive.CloseArchive(true);
        std::fprintf(stderr, "kvzip list: %s: no ZIP data found\n", Printable(path).c_str());
        return exitUnreadable;
    }
    if (options.json)
        PrintJson(path, options.advanced, archive, error);
    else if (!noEntries || !error)
        PrintTable(path, options.advanced, archive);
    archive.CloseArchive(true);
    if (!empty.empty() && !options.json)
        std::printf("%s\n", empty.c_str());
    if (error) {
        std::fprintf(stderr, "kvzip list: %s: %s\n", Printable(path).c_str(),
                     error->reason.c_str());
        return exitUnreadable;
    }
    return exitOk;
}
