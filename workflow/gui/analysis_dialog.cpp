#include "workflow/gui/analysis_dialog.h"

#include "controls/about_menu_item.h"
#include "controls/text_progress_ctrl.h"
#include "controls/transparent_static.h"
#include "engine/scan_state.h"
#include "platform/process.h"
#include "platform/qt/worker_halt_qt.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/analysis_worker.h"
#include "workflow/gui/pass_dialog_controls.h"
#include "workflow/repair_state.h"

CProgressBar* g_analysisDlg = nullptr;

CProgressBar::CProgressBar(IAnalysisList& list, QWidget* parent)
    : CDialog(res::Dialog(res::IDD_PROGRESSBAR), parent), m_host(*this, list) {
    BindControl(res::IDC_ANALYSIS_PROGRESS, m_progress);
}

bool CProgressBar::OnInitDialog() {
    g_analysisDlg = this;
    // Every opening starts from an empty bar: the worker counts from 0.
    m_progress->SetPos(0);
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Skin2.bmp"));
    // The item is there as in every dialog of the program; this one ignores it.
    AppendAboutToSystemMenu(*this);
    setWindowTitle(QString::fromStdWString(g_appTitle));
    SetCommandHandler(res::IDC_ANALYSIS_PAUSE, [this] { OnPauseResume(); });
    SetCommandHandler(res::IDC_ANALYSIS_STOP, [this] { OnStop(); });
    g_analysisPaused = 0;
    StartWorker();
    return true;
}

void CProgressBar::StartWorker() {
    const bool started = g_analysisThread.Start([this](platform::WorkerGate& gate) {
        try {
            return AnalysisWorker(m_host, gate);
        } catch (const platform::WorkerStopped&) {
            throw;
        } catch (...) {
            // An unexpected end must still close the dialog, or it waits forever.
            g_closeAnalysisDlg = 1;
            g_reapAnalysisThread = 1;
            m_host.PassDone({});
            throw;
        }
    });
    if (!started) {
        g_closeAnalysisDlg = 1;
        g_reapAnalysisThread = 1;
        Client()->update();
    }
}

QWidget* CProgressBar::CreateControl(const platform::ControlTemplate& control, QWidget* parent) {
    // The fixed label sits on the skin.
    if (control.kind == platform::ControlKind::Static)
        return new CTransparentStatic(parent);
    return nullptr;
}

void CProgressBar::OnPauseResume() {
    TogglePause(*this, res::IDC_ANALYSIS_PAUSE, g_analysisThread.Gate(), g_analysisPaused);
}

void CProgressBar::OnStop() {
    AskWithWorkerHeld(*this, g_analysisThread.Gate(), L"Do you want to Stop the analysis process ",
                      [this] { StopSequence(); });
}

void CProgressBar::StopSequence() {
    g_analysisArchive.m_decodeError = 0;
    if (g_signatureFound == 0)
        g_scanFile.Close();
    g_scanLength = 0;
    g_entryCount = 0;
    EndWorker();
    if (g_signatureFound == 1)
        g_analysisArchive.CloseArchive(true);
    // The rows listed so far stay in the preview's list.
    EndDialog(platform::IDCANCEL);
}

void CProgressBar::EndWorker() {
    platform::WorkerGate& gate = g_analysisThread.Gate();
    gate.Stop();
    platform::WaitUntilFinishedWithoutBlocking(gate);
    g_analysisThread.Join();
}

void CProgressBar::OnExitQuestion() {
    AskWithWorkerHeld(*this, g_analysisThread.Gate(), L"Do you want to exit ? ", [this] {
        // The worker must be out of the archive before it is closed under it.
        EndWorker();
        g_analysisArchive.CloseArchive(true);
        platform::EndProcess(0);
        // Only a test's hook lets the process live on.
        EndDialog(platform::IDCANCEL);
    });
}

bool CProgressBar::PreTranslateMessage(QObject*, QEvent* event) {
    switch (platform::PressedKey(event)) {
    case Qt::Key_Escape:
        OnExitQuestion();
        return true;
    case Qt::Key_F1:
        // No help for this dialog.
        return true;
    default:
        return false;
    }
}

void CProgressBar::OnPaint(QPainter&) {
    if (g_closeAnalysisDlg != 1)
        return;
    g_closeAnalysisDlg = 0;
    PostAfterPaint([this] { EndDialog(platform::IDCANCEL); });
}
