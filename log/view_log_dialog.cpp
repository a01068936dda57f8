#include "log/view_log_dialog.h"

#include "log/banners.h"
#include "log/open_activity_log.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/repair_state.h"

#include <QKeyEvent>

CViewLog::CViewLog(QWidget* parent) : CDialog(res::Dialog(res::IDD_VIEWLOG), parent) {
    SetCommandHandler(res::IDC_VIEW_LOG_OK, [this] { OnViewLogOk(); });
}

bool CViewLog::OnInitDialog() {
    LoadSkin(QString::fromStdWString(g_appFolder) + QStringLiteral("/Skin2.bmp"));
    setWindowTitle(QString::fromStdWString(g_appTitle));
    CheckDlgButton(res::IDC_VIEW_LOG_CHECK, false);
    WriteCompletionBanner();
    return true;
}

void CViewLog::OnViewLogOk() {
    if (IsDlgButtonChecked(res::IDC_VIEW_LOG_CHECK))
        OpenActivityLogInNotepad();
    else
        EndDialog(platform::IDOK);
    platform::EndProcess(0);
    // Still here: the process could not be ended. A dialog left open would
    // offer nothing more to do.
    EndDialog(platform::IDOK);
}

void CViewLog::OnClose() {
    platform::EndProcess(0);
    EndDialog(platform::IDCANCEL);
}

bool CViewLog::PreTranslateMessage(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
        return false;
    const int answer = platform::MessageBox(
        static_cast<QWidget*>(this), L" Saving Process is in running, Do you want to exit ? ",
        g_appTitle, platform::MB_YESNO | platform::MB_ICONQUESTION | platform::MB_SYSTEMMODAL);
    if (answer != platform::IDYES)
        return true;
    platform::EndProcess(0);
    // The process could not be ended: the key goes on to the dialog.
    return false;
}
