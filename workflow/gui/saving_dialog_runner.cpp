#include "workflow/gui/saving_dialog_runner.h"

#include "platform/message_box.h"
#include "workflow/gui/file_save_dialog.h"
#include "workflow/gui/preview_dialog.h"
#include "workflow/repair_state.h"

#include <utility>

namespace {
SavingDialogRunner g_savingDialogRunner;
}

SavingDialogRunner SetSavingDialogRunner(SavingDialogRunner runner) {
    return std::exchange(g_savingDialogRunner, std::move(runner));
}

int RunSavingDialog() {
    if (g_savingDialogRunner)
        return g_savingDialogRunner();
    if (g_fileSaveDlg == nullptr)
        return platform::IDCANCEL;
    // Save Current File saves the file the preview shows.
    g_fileSaveDlg->SetCurrentFileNumber(g_previewDlg != nullptr ? g_previewDlg->m_currentFileNumber
                                                                : 0);
    return g_fileSaveDlg->DoModal();
}
