#include "app/workflow_dialogs.h"

#include "workflow/preview_dialog.h"

CWorkflowDialogs::CWorkflowDialogs() {
    m_previousRunner = SetSavingDialogRunner([] {
        if (g_previewDlg)
            g_fileSaveDlg->SetCurrentFileNumber(g_previewDlg->m_currentFileNumber);
        return g_fileSaveDlg->DoModal();
    });
}

CWorkflowDialogs::~CWorkflowDialogs() {
    SetSavingDialogRunner(std::move(m_previousRunner));
}
