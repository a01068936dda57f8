#include "app/about_dlg.h"

#include "app/about_menu_item.h"
#include "res/resource_ids.h"
#include "res/resources.h"
#include "workflow/repair_state.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(res::Dialog(res::IDD_ABOUTBOX), parent) {
    BindControl(res::IDC_LINK_SITE2, m_siteLink2);
    BindControl(res::IDC_LINK_SITE, m_siteLink);
    BindControl(res::IDC_LINK_SALES, m_salesLink);
    BindControl(res::IDC_LINK_SUPPORT, m_supportLink);
    m_backgroundLoaded = LoadSkin(QString::fromStdWString(g_appFolder) + "/Skin2.bmp");
}

bool CAboutDlg::OnInitDialog() {
    // The About item of its own system menu does nothing here.
    AppendAboutToSystemMenu(*this);
    // Enter as the box opens presses OK, not the first address.
    if (QWidget* ok = GetDlgItem(res::IDC_ABOUT_OK))
        ok->setFocus();
    return true;
}

bool CAboutDlg::OnCommand(int id) {
    if (id == res::IDC_ABOUT_OK) {
        OnCancel();
        return true;
    }
    return CDialog::OnCommand(id);
}
