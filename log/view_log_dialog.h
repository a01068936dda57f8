// CViewLog: the completion dialog of a saving pass that ran to its end. It
// writes the completion banner, may open the log, and ends the program.
#pragma once

#include "platform/dialog_qt.h"

class CViewLog : public platform::CDialog {
public:
    explicit CViewLog(QWidget* parent = nullptr);

    // Button 1026: opens the log when "View Log File" is checked; ends the
    // process either way.
    void OnViewLogOk();

protected:
    bool OnInitDialog() override;
    void OnClose() override;
    bool PreTranslateMessage(QObject* target, QEvent* event) override;
};
