// CSaveMsg: the four-way question of Save All when an archive's output
// folder exists already. Its answer is g_overwriteChoice, which the saving
// worker reads; the dialog's own result means nothing.
#pragma once

#include "platform/qt/dialog_qt.h"

class CSaveMsg : public platform::CDialog {
public:
    explicit CSaveMsg(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;

private:
    void Choose(int choice);
};

// The overwrite prompt that the saving pass runs for an existing folder.
extern CSaveMsg* g_overwritePromptDlg;
