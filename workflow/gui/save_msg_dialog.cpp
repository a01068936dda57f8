#include "workflow/gui/save_msg_dialog.h"

#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/overwrite_choice.h"
#include "workflow/repair_state.h"

// Made by the start-up (platform::GlobalDialog), asked by the saving pass.
CSaveMsg* g_overwritePromptDlg = nullptr;

CSaveMsg::CSaveMsg(QWidget* parent) : CDialog(res::Dialog(res::IDD_SAVEMSG), parent) {
    SetCommandHandler(res::IDC_PROMPT_YES, [this] { Choose(OverwriteYes); });
    SetCommandHandler(res::IDC_PROMPT_NO, [this] { Choose(OverwriteNo); });
    SetCommandHandler(res::IDC_PROMPT_YES_ALL, [this] { Choose(OverwriteYesToAll); });
    SetCommandHandler(res::IDC_PROMPT_NO_ALL, [this] { Choose(OverwriteNoToAll); });
}

bool CSaveMsg::OnInitDialog() {
    setWindowTitle(QString::fromStdWString(g_appTitle));
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Skin2.bmp"));
    return true;
}

// Esc and close go through OnCancel and leave the choice as it was.
void CSaveMsg::Choose(int choice) {
    g_overwriteChoice = choice;
    EndDialog(platform::IDCANCEL);
}
