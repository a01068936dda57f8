// The saving worker's host on the desktop: every call runs on the GUI
// thread and returns once the File Saving dialog has changed.
#pragma once

#include "workflow/save_host.h"

class CFileSave;

class SaveDialogHost : public SaveHost {
public:
    explicit SaveDialogHost(CFileSave& dialog) : m_dialog(dialog) {}

    int CurrentFileNumber() override;
    void SetSourcePathLabel(const std::wstring& text) override;
    void SetFileNumberLabel(const std::wstring& text) override;
    void SetFileCountLabel(const std::wstring& text) override;
    void SetOutputFolderLabel(const std::wstring& text) override;
    void SetCurrentBar(int position) override;
    void SetOverallBar(int position) override;
    void StopTimer() override;
    void StartTimer() override;
    // Runs g_overwritePromptDlg modally on the GUI thread.
    void AskOverwrite() override;
    void SaveFinished() override;

private:
    void SetLabel(int id, const std::wstring& text);

    CFileSave& m_dialog;
};
