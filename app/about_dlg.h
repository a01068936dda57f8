// CAboutDlg: the About box of the main dialog, the preview and the system
// menus: product, version and the project's addresses as link buttons.
#pragma once

#include "controls/url_link_button.h"
#include "platform/qt/dialog_qt.h"

class CAboutDlg : public platform::CDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    CURLLinkButton* m_siteLink2 = nullptr;   // 1027
    CURLLinkButton* m_siteLink = nullptr;    // 1026
    CURLLinkButton* m_salesLink = nullptr;   // 1028
    CURLLinkButton* m_supportLink = nullptr; // 1029
    bool m_backgroundLoaded = false;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id) override;
};
