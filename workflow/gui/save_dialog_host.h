// The saving worker's host on the desktop: it turns the pass's events into
// the File Saving dialog's labels and bars and keeps the totals for the
// completion. Every call runs on the GUI thread and returns once the dialog
// has changed.
#pragma once

#include "workflow/save_host.h"

class CFileSave;

class SaveDialogHost : public SaveHost {
public:
    explicit SaveDialogHost(CFileSave& dialog) : m_dialog(dialog) {}

    int CurrentFileNumber() override;
    // Labels 1018, 1019, 1012 and 1020; timer 1 runs from here on.
    void SourceStarted(const SourceStart& source) override;
    void Progress(const PassProgress& progress) override;
    // Runs g_overwritePromptDlg modally with timer 1 stopped.
    void AskOverwrite() override;
    // Runs the password prompt modally with timer 1 stopped.
    bool AskPassword(const std::wstring& archive, bool again, Password& answer,
                     bool& forAll) override;
    bool PasswordSkipped() const override { return m_passwordSkipped; }
    // What was saved before a stop, for the dialog to show.
    void PassStopped(const PassTotals& soFar) override;
    void EntrySaved(const ExtractReport&) override {}
    void SourceDone(const SourceTotals&) override {}
    // Keeps the totals for the completion, which comes at the next paint.
    void PassDone(const PassTotals& totals) override;

private:
    CFileSave& m_dialog;
    bool m_passwordSkipped = false;
};
