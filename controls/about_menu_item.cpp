#include "controls/about_menu_item.h"

#include "res/resource_ids.h"
#include "res/resources.h"

void AppendAboutToSystemMenu(platform::CDialog& dialog) {
    const QString text = res::LoadString(res::IDS_ABOUTBOX);
    if (text.isEmpty())
        return;
    dialog.AppendSystemMenuSeparator();
    dialog.AppendSystemMenuItem(res::IDM_ABOUTBOX, text);
}
