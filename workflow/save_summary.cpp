#include "workflow/save_summary.h"

#include "log/activity_log.h"
#include "platform/text.h"

#include <algorithm>

namespace {

// "1 file", "2 files".
std::wstring Count(std::uint64_t value, const wchar_t* one, const wchar_t* many) {
    return GroupedNumber(value) + L" " + (value == 1 ? one : many);
}

// The archive's file name, cut in the middle when it is too long for the
// dialog's line (the log keeps the whole path).
std::wstring FileName(const std::wstring& path) {
    constexpr std::size_t kLongest = 48;
    const std::size_t slash = path.rfind(platform::kNativeSeparator);
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.size() > kLongest)
        name =
            name.substr(0, kLongest / 2 - 1) + L"\u2026" + name.substr(name.size() - kLongest / 2);
    return name;
}

// Files the destination refused, by cause.
void AddDestinationLines(std::uint64_t full, std::uint64_t unwritable,
                         std::vector<std::wstring>& lines) {
    if (full > 0)
        lines.push_back(Count(full, L"file", L"files") +
                        L" not written whole: the destination is full");
    if (unwritable > 0)
        lines.push_back(Count(unwritable, L"file", L"files") +
                        L" not written: the destination cannot be written");
}

// An archive that had entries and gave not one of them.
bool GaveNothing(const SourceTotals& source) {
    return source.problem == SourceProblem::none && source.found > 0 &&
           source.verdicts.Saved() == 0 && source.verdicts.folders == 0;
}

// An archive the completion names: why it yielded nothing, or what cut its
// reading short.
std::wstring SourceNote(const SourceTotals& source) {
    std::wstring note = SourceProblemText(source.problem);
    if (GaveNothing(source) && source.error.empty())
        return source.passwordSkipped ? L"not saved: skipped, no password" : L"nothing saved";
    if (source.problem == SourceProblem::none || source.problem == SourceProblem::unreadable) {
        if (source.error.empty())
            return note;
        note = source.problem == SourceProblem::none ? L"read only in part: " + source.error
                                                     : L"cannot be read: " + source.error;
    }
    return note;
}

// At most this many archives are named; the log names them all.
constexpr std::size_t kNamedSources = 4;

} // namespace

std::wstring GroupedNumber(std::uint64_t value) {
    std::wstring digits = std::to_wstring(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, L",");
    return digits;
}

std::wstring SavedFilesText(const VerdictTally& verdicts) {
    if (verdicts.Files() == 0)
        return verdicts.folders > 0 ? L"Made " + Count(verdicts.folders, L"folder", L"folders")
                                    : L"Nothing saved";
    std::wstring text = L"Saved " + Count(verdicts.Saved(), L"file", L"files");
    std::wstring parts;
    for (const auto& [count, word] :
         {std::pair{verdicts.verified, L"verified"}, std::pair{verdicts.damaged, L"damaged"},
          std::pair{verdicts.partial, L"partial"}}) {
        if (count == 0)
            continue;
        parts += (parts.empty() ? L"" : L", ") + GroupedNumber(count) + L" " + word;
    }
    if (!parts.empty())
        text += L": " + parts;
    if (verdicts.notSaved > 0)
        text += L"; " + GroupedNumber(verdicts.notSaved) + L" not saved";
    if (verdicts.listedBack != verdicts.listed)
        text += L"; the directory lists " + Count(verdicts.listed, L"entry", L"entries") + L", " +
                GroupedNumber(verdicts.listedBack) + L" came back verified";
    return text;
}

std::wstring SourceSummaryText(const SourceTotals& totals) {
    if (totals.problem != SourceProblem::none)
        return L"Nothing saved: " + SourceNote(totals);
    return SavedFilesText(totals.verdicts);
}

std::vector<std::wstring> CompletionLines(const PassTotals& totals) {
    if (totals.Clean())
        return {L"Saving Completed Successfully"};
    std::vector<std::wstring> lines = {SavedFilesText(totals.verdicts)};
    // One cause that stopped files is said once, not file by file.
    std::uint64_t full = 0;
    std::uint64_t unwritable = 0;
    for (const SourceTotals& source : totals.sources) {
        full += source.destinationFull;
        unwritable += source.destinationUnwritable;
    }
    AddDestinationLines(full, unwritable, lines);
    std::size_t named = 0;
    std::size_t unnamed = 0;
    for (const SourceTotals& source : totals.sources) {
        if (source.problem == SourceProblem::none && source.error.empty() && !GaveNothing(source))
            continue;
        if (named == kNamedSources) {
            ++unnamed;
            continue;
        }
        ++named;
        lines.push_back(FileName(source.source.path) + L": " + SourceNote(source));
    }
    if (unnamed > 0)
        lines.push_back(L"and " + Count(unnamed, L"archive", L"archives") + L" more: see the log");
    return lines;
}

std::vector<std::wstring> StoppedLines(const PassTotals& totals, std::size_t archiveCount) {
    std::vector<std::wstring> lines = {L"Saving stopped.", SavedFilesText(totals.verdicts)};
    if (totals.verdicts.Saved() > 0 || totals.verdicts.folders > 0)
        lines.push_back(L"What was saved is in " + totals.repairFolder);
    if (const std::size_t left = archiveCount - std::min(archiveCount, totals.sources.size());
        left > 0)
        lines.push_back(GroupedNumber(left) + (left == 1 ? L" archive" : L" archives") +
                        L" not reached");
    return lines;
}

void LogSourceTotals(const SourceTotals& totals, const std::vector<EntryProblem>& problems) {
    WriteActivityLog(L"\r\n");
    WriteActivityLog(SourceSummaryText(totals));
    if (totals.problem == SourceProblem::none && !totals.error.empty()) {
        WriteActivityLog(L"\r\n");
        WriteActivityLog(L"Read only in part: " + totals.error);
    }
    std::vector<std::wstring> causes;
    AddDestinationLines(totals.destinationFull, totals.destinationUnwritable, causes);
    for (const std::wstring& line : causes) {
        WriteActivityLog(L"\r\n");
        WriteActivityLog(line);
    }
    // One write for the name and one for the verdict: a log write keeps at
    // most 200 bytes, and a long name must not cost the verdict.
    for (const EntryProblem& problem : problems) {
        WriteActivityLog(L"\r\n");
        WriteActivityLog(problem.name);
        WriteActivityLog(L" : " + platform::FromUtf8(problem.verdict));
    }
}
