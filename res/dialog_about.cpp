// Template 100: the About box.
#include "platform/version.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

// OK comes first, in the focus order too, and is the default: Enter as the
// box opens closes it instead of opening the first address.
const ControlTemplate kControls[] = {
    {ControlKind::DefPushButton, IDC_ABOUT_OK, "OK", 100, 112, 50, 14},
    {ControlKind::GroupBox, IDC_STATIC, "", 7, 6, 236, 98},
    {ControlKind::Icon, IDC_STATIC, "", 18, 18, 21, 20, CS_NONE, IDR_MAINFRAME},
    {ControlKind::Static, IDC_STATIC, "Kelvane for Zip  v." KVZIP_VERSION, 52, 22, 150, 8},
    {ControlKind::Static, IDC_STATIC, "Websites :", 52, 42, 44, 8},
    {ControlKind::PushButton, IDC_LINK_SITE, "www.kelvane.example", 100, 41, 130, 10},
    {ControlKind::PushButton, IDC_LINK_SITE2, "www.kelvane.example/zip", 100, 53, 130, 10},
    {ControlKind::Static, IDC_STATIC, "Sales       :", 52, 70, 44, 8},
    {ControlKind::PushButton, IDC_LINK_SALES, "sales@kelvane.example", 100, 69, 130, 10},
    {ControlKind::Static, IDC_STATIC, "Support   :", 52, 86, 44, 8},
    {ControlKind::PushButton, IDC_LINK_SUPPORT, "support@kelvane.example", 100, 85, 130, 10},
};
} // namespace

const DialogTemplate kAboutDialog{
    IDD_ABOUTBOX,
    "About Kelvane for Zip",
    250,
    132,
    "MS Shell Dlg",
    8,
    DS_SYSMENU,
    nullptr,
    kControls,
    &LoadImage,
};

} // namespace res
