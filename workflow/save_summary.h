// The words in which the desktop program sums up a saving pass: the
// completion dialog's lines and the activity log's lines after each
// archive's output folder say the same.
#pragma once

#include "workflow/pass_events.h"

#include <cstdint>
#include <string>
#include <vector>

// 1204 as "1,204".
std::wstring GroupedNumber(std::uint64_t value);

// "Saved 1,204 files: 1,180 verified, 21 damaged, 3 partial; 2 not saved";
// "Nothing saved" when not one file was there to save.
std::wstring SavedFilesText(const VerdictTally& verdicts);

// One archive: SavedFilesText, or "Nothing saved: no ZIP data found".
std::wstring SourceSummaryText(const SourceTotals& totals);

// The completion dialog's text: "Saving Completed Successfully" when every
// file of every archive was saved and verified; otherwise the totals and a
// line for each archive that yielded nothing or was read only in part.
std::vector<std::wstring> CompletionLines(const PassTotals& totals);

// A pass of `archiveCount` archives that the user stopped: what was saved
// before the stop, where, and how many archives the pass never reached.
std::vector<std::wstring> StoppedLines(const PassTotals& totals, std::size_t archiveCount);

// An entry that is not verified, as the log names it.
struct EntryProblem {
    std::wstring name;
    std::string verdict; // VerdictText
};

// The lines after an archive's output-folder line: its totals, then each
// entry that is damaged, partial or not saved.
void LogSourceTotals(const SourceTotals& totals, const std::vector<EntryProblem>& problems);
