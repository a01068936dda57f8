// CViewLog: the completion dialog of a saving pass that ran to its end. It
// says how the pass went, writes the completion banner, may open the log
// and the output folder, and ends the program.
#pragma once

#include "platform/qt/dialog_qt.h"
#include "workflow/pass_events.h"

class CViewLog : public platform::CDialog {
public:
    // `totals`: what the pass saved; without any, a pass that saved all.
    explicit CViewLog(PassTotals totals = {}, QWidget* parent = nullptr);

    // Button 1026: opens the log when "View Log File" is checked and the
    // run's Repair folder when "Open Output Folder" is; ends the process
    // either way.
    void OnViewLogOk();

protected:
    bool OnInitDialog() override;
    void OnClose() override;
    bool PreTranslateMessage(QObject* target, QEvent* event) override;

private:
    // Makes room for a text of more than one line, moving what lies below.
    void FitText(const QString& text);

    PassTotals m_totals;
};
