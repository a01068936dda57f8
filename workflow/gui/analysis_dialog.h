// CProgressBar: the analysis dialog of one source file. It runs the analysis
// worker, shows its bar, lets the user pause, resume or stop it, and closes
// itself at the paint after the worker has finished.
#pragma once

#include "platform/qt/dialog_qt.h"
#include "workflow/gui/analysis_gui_host.h"

class CTextProgressCtrl;
class IAnalysisList;

class CProgressBar : public platform::CDialog {
    Q_OBJECT

public:
    // The worker lists into `list`, which must outlive the worker.
    explicit CProgressBar(IAnalysisList& list, QWidget* parent = nullptr);

    CTextProgressCtrl* m_progress = nullptr;

    void OnPauseResume();
    void OnStop();
    // The Esc key, and the close box: the same question.
    void OnExitQuestion();

protected:
    bool OnInitDialog() override;
    // Enter does nothing: it must not close the dialog while the worker runs on.
    void OnOK() override {}
    void OnClose() override { OnExitQuestion(); }
    bool PreTranslateMessage(QObject* target, QEvent* event) override;
    void OnPaint(QPainter& painter) override;
    QWidget* CreateControl(const platform::ControlTemplate& control, QWidget* parent) override;

    // Starts the worker on g_analysisThread (the gallery shows the dialog without one).
    virtual void StartWorker();

private:
    void StopSequence();
    void EndWorker();

    AnalysisGuiHost m_host;
};

// The open analysis dialog, whose bar ReportAnalysisProgress moves.
extern CProgressBar* g_analysisDlg;
