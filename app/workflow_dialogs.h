// The dialogs that the whole program shares, made once the toolkit runs:
// the saving dialog that the preview starts and the overwrite prompt that
// the saving pass asks.
#pragma once

#include "platform/qt/global_dialog_qt.h"
#include "workflow/gui/file_save_dialog.h"
#include "workflow/gui/save_msg_dialog.h"
#include "workflow/repair_state.h"

// Makes g_fileSaveDlg and g_overwritePromptDlg for its lifetime; the preview
// then runs the saving dialog on the file it shows.
class CWorkflowDialogs {
private:
    platform::GlobalDialog<CSaveMsg> m_prompt{g_overwritePromptDlg};
    platform::GlobalDialog<CFileSave> m_saving{g_fileSaveDlg};
};
