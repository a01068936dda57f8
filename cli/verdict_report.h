// How the command line shows what each entry came to: a line per entry,
// the summary of an archive or a run, and the same in JSON.
#pragma once

#include "cli/archive_report.h"
#include "cli/command_line.h"
#include "cli/password_input.h"
#include "engine/zip_archive.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter;

// Reads the command line of check or extract (`command`), the two commands
// that judge every entry: their options, the operands (`operandsError` says
// what is wrong with their count, or null when it is right), --help and the
// password input. Returns the exit code that ends the command, or nothing
// when it goes on.
std::optional<int> StartVerdictCommand(const Command& command,
                                       const std::vector<std::string>& words,
                                       const char* (*operandsError)(const CommandOptions& options),
                                       CommandOptions& options, PasswordInput& passwords);

// "damaged   docs/a.txt: its CRC-32 differs from the stored one (CRC-32
// 1a2b3c4d, stored 5e6f7a8b)".
std::string VerdictLine(const ExtractReport& report);
// An entry gets a line when it is not verified, or saved under another
// name; every entry does with --verbose. Debris only does then.
bool ShowsLine(const ExtractReport& report, bool verbose);

// "12 files: 9 verified, 1 damaged, 1 partial, 1 not saved", with the
// folders made and the debris left out after it when there are any.
std::string VerdictSummary(const VerdictTally& tally);

// What check and extract add to an entry's object (BeginEntryJson): the
// verdict and its reason, the bytes decoded and their CRC-32 beside the
// expected one, and what decoding past damage came to.
void WriteVerdictJson(JsonWriter& json, const ExtractReport& report);
// The tally as an object under `key`.
void WriteTallyJson(JsonWriter& json, std::string_view key, const VerdictTally& tally);

// The exit code of every command that saves or judges entries: exitOk when
// every entry found was saved (or would be) and verified, exitProblems when
// something was but not all of it verified, exitUnreadable when nothing
// could be read or written. `unreadable`: an archive could not be read at
// all; `incomplete`: a scan ended early or an output could not be written.
int VerdictExitCode(const VerdictTally& tally, bool unreadable, bool incomplete);

// One archive taken entry by entry.
struct ArchiveVerdicts {
    std::optional<ReportedError> error; // what ended the scan early
    std::size_t entryCount = 0;
    VerdictTally tally;
    // Entries whose file or folder could not be made or written.
    std::size_t failed = 0;

    // Nothing in it could be read: it cannot be opened, or holds no entry
    // that is not debris.
    bool Unreadable() const { return tally.Files() + tally.folders + tally.kept == 0; }
};

// Why the archive at `path` counts as unreadable ("file missing", "no ZIP
// data found", the error that ended its opening...); empty when it does not.
std::string UnreadableReason(const std::wstring& path, const ArchiveVerdicts& result);

// Opens `path` with the chosen scan, gives it its password from
// `passwords` and extracts every entry below `folder` under `safeguards`,
// or only decodes it when there is none, on `jobs` threads (0: one per
// core); `each` sees every entry's header and report in entry order. A
// stop the safeguards ask
// for begins no further entry; those under way are cut short and reported.
ArchiveVerdicts
WalkArchive(const std::wstring& path, const std::wstring* folder, bool advanced, unsigned jobs,
            const ExtractSafeguards* safeguards, PasswordInput& passwords,
            const std::function<void(std::size_t, const CFileHeader&, const ExtractReport&)>& each);
