// The About item that the main, preview, analysis and About dialogs append to
// their system menus.
#pragma once

#include "platform/qt/dialog_qt.h"

// Appends a separator and "&About Kelvane For Zip..." (IDM_ABOUTBOX), when
// the string table holds that text.
void AppendAboutToSystemMenu(platform::CDialog& dialog);
