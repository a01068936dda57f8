#include "workflow/save_dialog_host.h"

#include "app/text_progress_ctrl.h"
#include "platform/gui_host_qt.h"
#include "res/resource_ids.h"
#include "workflow/file_save_dialog.h"
#include "workflow/repair_state.h"
#include "workflow/save_msg_dialog.h"

#include <optional>

using platform::RunOnGuiThread;

int SaveDialogHost::CurrentFileNumber() {
    int number = 0;
    RunOnGuiThread([&] { number = m_dialog.CurrentFileNumber(); });
    return number;
}

void SaveDialogHost::SetLabel(int id, const std::wstring& text) {
    RunOnGuiThread([&] { m_dialog.SetDlgItemText(id, QString::fromStdWString(text)); });
}

void SaveDialogHost::SetSourcePathLabel(const std::wstring& text) {
    SetLabel(res::IDC_SAVE_FILE_NAME, text);
}

void SaveDialogHost::SetFileNumberLabel(const std::wstring& text) {
    SetLabel(res::IDC_SAVE_FILE_NUMBER, text);
}

void SaveDialogHost::SetFileCountLabel(const std::wstring& text) {
    SetLabel(res::IDC_SAVE_TOTAL, text);
}

void SaveDialogHost::SetOutputFolderLabel(const std::wstring& text) {
    SetLabel(res::IDC_SAVE_FILE_PATH, text);
}

void SaveDialogHost::SetCurrentBar(int position) {
    RunOnGuiThread([&] {
        if (m_dialog.m_currentBar)
            m_dialog.m_currentBar->SetPos(position);
    });
}

void SaveDialogHost::SetOverallBar(int position) {
    RunOnGuiThread([&] {
        if (m_dialog.m_overallBar)
            m_dialog.m_overallBar->SetPos(position);
    });
}

void SaveDialogHost::StopTimer() {
    RunOnGuiThread([&] { m_dialog.StopTimer(); });
}

void SaveDialogHost::StartTimer() {
    RunOnGuiThread([&] { m_dialog.StartTimer(); });
}

void SaveDialogHost::AskOverwrite() {
    RunOnGuiThread([] {
        // Without the program-wide prompt (a dialog run on its own) a local
        // one asks the same question.
        std::optional<CSaveMsg> local;
        CSaveMsg* prompt = g_overwritePromptDlg;
        if (prompt == nullptr)
            prompt = &local.emplace();
        prompt->DoModal();
    });
}

void SaveDialogHost::SaveFinished() {
    RunOnGuiThread([&] { m_dialog.SignalFinished(); });
}
