// CFileSave: the File Saving dialog, step 3 of the wizard. It runs the
// saving worker, shows the file being saved and two bars, lets the user
// pause, resume or stop the pass, and hands over to the completion dialog
// at the paint after the worker has finished.
#pragma once

#include "platform/qt/dialog_qt.h"
#include "workflow/gui/save_dialog_host.h"

#include <QTimer>

class CTextProgressCtrl;
class CTransparentStatic2;

class CFileSave : public platform::CDialog {
public:
    explicit CFileSave(QWidget* parent = nullptr);
    ~CFileSave() override;

    // 1 once the worker has ended the pass; the next paint completes it.
    int m_saveFinished = 0;

    CTransparentStatic2* m_sourcePathLabel = nullptr;   // 1018
    CTransparentStatic2* m_fileNumberLabel = nullptr;   // 1019
    CTransparentStatic2* m_fileCountLabel = nullptr;    // 1012
    CTransparentStatic2* m_outputFolderLabel = nullptr; // 1020
    CTextProgressCtrl* m_currentBar = nullptr;          // 1021
    CTextProgressCtrl* m_overallBar = nullptr;          // 1032

    // The preview's current file (1-based): what Save Current File saves.
    // Set before DoModal.
    void SetCurrentFileNumber(int number) { m_currentFileNumber = number; }
    int CurrentFileNumber() const { return m_currentFileNumber; }

    void OnPauseResume();
    void OnStop();

    // Timer 1, stopped before an overwrite question and by Pause. Its ticks
    // do nothing.
    void StopTimer() { m_timer.stop(); }
    void StartTimer() { m_timer.start(); }
    bool IsTimerActive() const { return m_timer.isActive(); }

    // The worker's last call, with the totals of the pass: the next paint
    // completes it.
    void SignalFinished(const PassTotals& totals);
    // What a stop left saved, shown before the program ends.
    PassTotals m_stoppedTotals;

protected:
    bool OnInitDialog() override;
    // Enter does nothing: there is no default button to press.
    void OnOK() override {}
    void OnClose() override;
    bool PreTranslateMessage(QObject* target, QEvent* event) override;
    void OnPaint(QPainter& painter) override;
    // Runs SaveWorker on g_saveThread; the gallery shows the dialog without it.
    virtual void StartWorker();

private:
    enum class Answer { keepSaving, abortedButNotEnded };
    // Asks `text` with the worker held. On Yes stops the worker, writes the
    // abort banner and ends the process; the return tells whether it ended.
    Answer AskToAbort(const wchar_t* text);
    void WaitForWorkerEnd();
    void Complete();
    // What a pass gave, one line each, in a message box.
    void ShowSummary(const std::vector<std::wstring>& lines);

    QTimer m_timer;
    // True while Stop, Esc or close asks: the completion waits for the answer.
    bool m_asking = false;
    int m_currentFileNumber = 1;
    SaveDialogHost m_host;
    PassTotals m_totals;
};

// The running File Saving dialog, read by ReportSaveProgress.
extern CFileSave* g_saveDlg;
// The saving dialog that Save All and Save Current File run modally.
extern CFileSave* g_fileSaveDlg;
