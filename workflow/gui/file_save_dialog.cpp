#include "workflow/gui/file_save_dialog.h"

#include "controls/text_progress_ctrl.h"
#include "controls/transparent_static2.h"
#include "log/banners.h"
#include "log/gui/view_log_dialog.h"
#include "platform/process.h"
#include "platform/qt/gui_host_qt.h"
#include "platform/qt/worker_halt_qt.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/gui/pass_dialog_controls.h"
#include "workflow/repair_state.h"
#include "workflow/save_state.h"
#include "workflow/save_summary.h"
#include "workflow/save_worker.h"

#include <algorithm>

// Made by the start-up (platform::GlobalDialog) and run by the preview.
CFileSave* g_fileSaveDlg = nullptr;
// The dialog whose pass is running.
CFileSave* g_saveDlg = nullptr;

namespace {

constexpr int kTimerPeriodMs = 1000;

} // namespace

CFileSave::CFileSave(QWidget* parent)
    : CDialog(res::Dialog(res::IDD_FILESAVE), parent), m_host(*this) {
    BindControl(res::IDC_SAVE_FILE_NAME, m_sourcePathLabel);
    BindControl(res::IDC_SAVE_FILE_NUMBER, m_fileNumberLabel);
    BindControl(res::IDC_SAVE_TOTAL, m_fileCountLabel);
    BindControl(res::IDC_SAVE_FILE_PATH, m_outputFolderLabel);
    BindControl(res::IDC_SAVE_CURRENT_PROGRESS, m_currentBar);
    BindControl(res::IDC_SAVE_OVERALL_PROGRESS, m_overallBar);
    SetCommandHandler(res::IDC_SAVE_PAUSE, [this] { OnPauseResume(); });
    SetCommandHandler(res::IDC_SAVE_STOP, [this] { OnStop(); });
    m_timer.setInterval(kTimerPeriodMs);
}

CFileSave::~CFileSave() {
    if (g_saveDlg != this)
        return;
    // No worker may outlive the host it calls.
    if (g_saveThread.IsRunning()) {
        g_saveThread.Gate().Stop();
        WaitForWorkerEnd();
    }
    g_saveDlg = nullptr;
}

bool CFileSave::OnInitDialog() {
    g_saveDlg = this;
    m_saveFinished = 0;
    g_savePaused = 0;
    // The worker's bars start at 0 on every pass; so do the new controls.
    m_currentBar->SetPos(0);
    m_overallBar->SetPos(0);
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Skin2.bmp"));
    setWindowTitle(QString::fromStdWString(g_appTitle));
    StartWorker();
    return true;
}

void CFileSave::StartWorker() {
    g_saveThread.Start(
        [this](platform::WorkerGate& gate) { return static_cast<int>(SaveWorker(m_host, gate)); });
}

void CFileSave::OnPauseResume() {
    // On Resume the timer starts again at the worker's next overwrite check.
    if (TogglePause(*this, res::IDC_SAVE_PAUSE, g_saveThread.Gate(), g_savePaused))
        StopTimer();
}

void CFileSave::OnStop() {
    if (AskToAbort(L"Saving is in Process,Do you want to Stop?") == Answer::abortedButNotEnded)
        EndDialog(platform::IDOK);
}

void CFileSave::OnClose() {
    if (AskToAbort(L"Saving is in Process,Do you want to exit?") == Answer::abortedButNotEnded)
        EndDialog(platform::IDOK);
}

bool CFileSave::PreTranslateMessage(QObject*, QEvent* event) {
    switch (platform::PressedKey(event)) {
    case Qt::Key_F1:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Escape:
        // After Yes, a process that could not be ended lets the key cancel.
        return AskToAbort(L"Saving is in process, Do you want to exit ? ") == Answer::keepSaving;
    default:
        return false;
    }
}

CFileSave::Answer CFileSave::AskToAbort(const wchar_t* text) {
    platform::WorkerGate& gate = g_saveThread.Gate();
    // The worker may finish while we wait or ask: its last steps have no
    // safe point. The completion then waits until the answer is No.
    m_asking = true;
    const bool abort = AskWithWorkerHeld(*this, gate, text, [this, &gate] {
        m_asking = false;
        // The worker leaves at its next safe point, before the banner, so
        // that no line of the pass can follow it.
        gate.Stop();
        WaitForWorkerEnd();
        const int archives = g_saveCurrentOnly == 1 ? 1 : g_sourceFileCount;
        ShowSummary(StoppedLines(m_stoppedTotals, static_cast<std::size_t>(std::max(archives, 0))));
        WriteAbortBanner();
        platform::EndProcess(0);
    });
    if (abort)
        return Answer::abortedButNotEnded;
    m_asking = false;
    if (m_saveFinished == 1)
        Client()->update();
    return Answer::keepSaving;
}

void CFileSave::WaitForWorkerEnd() {
    // The worker may be waiting for this thread: keep serving it meanwhile.
    platform::WaitUntilFinishedWithoutBlocking(g_saveThread.Gate());
    g_saveThread.Join();
}

void CFileSave::SignalFinished(const PassTotals& totals) {
    m_totals = totals;
    m_saveFinished = 1;
    Client()->update();
}

void CFileSave::ShowSummary(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines)
        text += (text.empty() ? L"" : L"\r\n") + line;
    platform::MessageBox(isVisible() ? static_cast<QWidget*>(this) : nullptr, text, g_appTitle,
                         platform::MB_OK | platform::MB_ICONINFORMATION);
}

void CFileSave::OnPaint(QPainter&) {
    if (m_saveFinished != 1 || m_asking)
        return;
    m_saveFinished = 0;
    PostAfterPaint([this] { Complete(); });
}

void CFileSave::Complete() {
    if (m_asking) {
        m_saveFinished = 1;
        return;
    }
    WaitForWorkerEnd();
    if (g_saveCurrentOnly == 1) {
        g_saveCurrentOnly = 0;
        // Back to the preview, which may save another file: what this one
        // gave is said first.
        if (g_sourceFileCount != 1) {
            hide();
            std::vector<std::wstring> lines = CompletionLines(m_totals);
            if (!m_totals.sources.empty())
                lines.insert(lines.begin(), m_totals.sources.front().source.path + L":");
            ShowSummary(lines);
            EndDialog(platform::IDCANCEL);
            return;
        }
    }
    hide();
    CViewLog completion(m_totals);
    completion.DoModal();
    // Reached only when the completion dialog could not end the process:
    // a hidden dialog whose pass is over would wait for nothing.
    EndDialog(platform::IDOK);
}
