// The fixed blocks of log lines that mark the start and the end of a run.
#pragma once

#include <ctime>
#include <string>

// "6\12\2026" and "9:5:7": plain numbers without leading zeros.
std::wstring LogDateText(const std::tm& local);
std::wstring LogTimeText(const std::tm& local);

// The program started at `local` (local time): the banners of the log and
// of step 1.
void WriteStartBanner(const std::tm& local);

// The banner of step 2, with the number of source files.
void WriteAnalysisBanner(int fileCount);
// The banner of step 3, which heads the destination folders.
void WriteSavingBanner();

// The saving pass ran to its end (written by the completion dialog) and
// every entry was saved and verified.
void WriteCompletionBanner();
// The saving pass ran to its end, but not every entry was saved and
// verified, or an archive yielded nothing.
void WriteProblemsBanner();
// The user stopped the saving pass.
void WriteAbortBanner();
