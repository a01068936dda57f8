#include "workflow/gui/pass_dialog_controls.h"

#include "identity/app_question.h"
#include "platform/qt/dialog_qt.h"
#include "platform/qt/worker_halt_qt.h"

bool TogglePause(platform::CDialog& dialog, int button, platform::WorkerGate& gate, int& paused) {
    if (paused == 0) {
        gate.Pause();
        dialog.SetDlgItemText(button, QStringLiteral("Resume"));
        paused = 1;
    } else {
        gate.Resume();
        dialog.SetDlgItemText(button, QStringLiteral("Pause"));
        paused = 0;
    }
    return paused == 1;
}

bool AskWithWorkerHeld(platform::CDialog& dialog, platform::WorkerGate& gate,
                       const std::wstring& text, const std::function<void()>& onYes) {
    platform::HaltedWorker halted(gate);
    if (!AskUser(static_cast<QWidget*>(&dialog), text))
        return false;
    onYes();
    return true;
}
