#include "workflow/gui/save_dialog_host.h"

#include "controls/text_progress_ctrl.h"
#include "platform/qt/gui_host_qt.h"
#include "res/resource_ids.h"
#include "workflow/gui/file_save_dialog.h"
#include "workflow/gui/password_dialog.h"
#include "workflow/gui/save_msg_dialog.h"
#include "workflow/repair_state.h"

#include <optional>

using platform::RunOnGuiThread;

int SaveDialogHost::CurrentFileNumber() {
    int number = 0;
    RunOnGuiThread([&] { number = m_dialog.CurrentFileNumber(); });
    return number;
}

void SaveDialogHost::SourceStarted(const SourceStart& source) {
    RunOnGuiThread([&] {
        const auto label = [this](int id, const std::wstring& text) {
            m_dialog.SetDlgItemText(id, QString::fromStdWString(text));
        };
        label(res::IDC_SAVE_TOTAL, std::to_wstring(source.count));
        label(res::IDC_SAVE_FILE_NAME, source.path);
        label(res::IDC_SAVE_FILE_NUMBER, std::to_wstring(source.number));
        label(res::IDC_SAVE_FILE_PATH, source.outputFolder);
        m_dialog.StartTimer();
    });
}

void SaveDialogHost::Progress(const PassProgress& progress) {
    RunOnGuiThread([&] {
        if (m_dialog.m_currentBar)
            m_dialog.m_currentBar->SetPos(progress.current);
        if (m_dialog.m_overallBar)
            m_dialog.m_overallBar->SetPos(progress.overall);
    });
}

void SaveDialogHost::AskOverwrite() {
    RunOnGuiThread([this] {
        m_dialog.StopTimer();
        // Without the program-wide prompt (a dialog run on its own) a local
        // one asks the same question.
        std::optional<CSaveMsg> local;
        CSaveMsg* prompt = g_overwritePromptDlg;
        if (prompt == nullptr)
            prompt = &local.emplace();
        prompt->DoModal();
        m_dialog.StartTimer();
    });
}

bool SaveDialogHost::AskPassword(const std::wstring& archive, bool again, Password& answer,
                                 bool& forAll) {
    bool given = false;
    RunOnGuiThread([&] {
        m_dialog.StopTimer();
        given = AskPasswordOnDesktop(&m_dialog, archive, again, answer, forAll, &m_passwordSkipped);
        m_dialog.StartTimer();
    });
    return given;
}

void SaveDialogHost::PassStopped(const PassTotals& soFar) {
    RunOnGuiThread([&] { m_dialog.m_stoppedTotals = soFar; });
}

void SaveDialogHost::PassDone(const PassTotals& totals) {
    RunOnGuiThread([&] { m_dialog.SignalFinished(totals); });
}
