#include "app/velmor_dlg_auto_proxy.h"

#include "app/automation.h"
#include "app/main_window.h"
#include "app/velmor_dlg.h"

CVelmorDlgAutoProxy::CVelmorDlgAutoProxy() {
    automation::LockApp();
    if (auto* dialog = dynamic_cast<CVelmorDlg*>(GetMainWindow())) {
        m_pDialog = dialog;
        dialog->m_pAutoProxy = this;
    }
}

CVelmorDlgAutoProxy::~CVelmorDlgAutoProxy() {
    if (m_pDialog)
        m_pDialog->m_pAutoProxy = nullptr;
    automation::UnlockApp();
}

unsigned long CVelmorDlgAutoProxy::AddRef() {
    return ++m_references;
}

unsigned long CVelmorDlgAutoProxy::Release() {
    const unsigned long left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

void* CVelmorDlgAutoProxy::CreateForClient() {
    return new CVelmorDlgAutoProxy;
}
