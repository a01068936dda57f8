// What the saving worker needs from the File Saving dialog: its labels, its
// two bars, its timer, the overwrite prompt and the completion signal. The
// desktop forwards each call to its GUI thread; the command line and the
// tests implement it directly.
#pragma once

#include "engine/zip_archive.h"

#include <string>

class SaveHost {
public:
    virtual ~SaveHost() = default;

    // The preview's current file (1-based), for Save Current File.
    virtual int CurrentFileNumber() = 0;
    // Control 1018: the source archive being saved.
    virtual void SetSourcePathLabel(const std::wstring& text) = 0;
    // Control 1019: its number.
    virtual void SetFileNumberLabel(const std::wstring& text) = 0;
    // Control 1012: how many files the pass saves.
    virtual void SetFileCountLabel(const std::wstring& text) = 0;
    // Control 1020: the output folder.
    virtual void SetOutputFolderLabel(const std::wstring& text) = 0;
    // Bars 1021 and 1032; called only when a position changes.
    virtual void SetCurrentBar(int position) = 0;
    virtual void SetOverallBar(int position) = 0;
    // Timer 1 of the dialog.
    virtual void StopTimer() = 0;
    virtual void StartTimer() = 0;
    // Runs the overwrite prompt modally; it sets g_overwriteChoice.
    virtual void AskOverwrite() = 0;
    // The pass ran to its end: the dialog completes at its next paint.
    virtual void SaveFinished() = 0;

    // What the dialog does not show but a report may.
    // The source archive could not be opened or read whole (`reason`).
    virtual void ArchiveError(const std::wstring& /*reason*/) {}
    // One entry of the current archive was extracted (or not); `error` is
    // empty unless extraction ended with an exception.
    virtual void EntrySaved(const ExtractReport& /*report*/, const std::wstring& /*error*/) {}
};
