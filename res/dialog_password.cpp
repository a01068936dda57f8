// Template 141: the password of an archive's encrypted entries, asked by
// the saving pass before it saves them.
#include "platform/message_box.h"
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

const ControlTemplate kControls[] = {
    {ControlKind::Bitmap, IDC_PASSWORD_PICTURE, "", 8, 8, 40, 40, CS_NONE, IDB_SAVEMSG},
    {ControlKind::Static, IDC_STATIC, "This archive holds encrypted files. Enter its password:", 56,
     8, 200, 10},
    {ControlKind::Static, IDC_PASSWORD_ARCHIVE, "", 56, 19, 200, 10},
    {ControlKind::Edit, IDC_PASSWORD_EDIT, "", 56, 32, 200, 13, CS_PASSWORD},
    {ControlKind::CheckBox, IDC_PASSWORD_SHOW, "Show", 56, 49, 80, 10},
    {ControlKind::CheckBox, IDC_PASSWORD_FOR_ALL, "Use for all archives of this run", 56, 61, 200,
     10},
    {ControlKind::DefPushButton, IDOK, "OK", 142, 80, 54, 14},
    {ControlKind::PushButton, IDCANCEL, "Skip", 202, 80, 54, 14},
};
} // namespace

const DialogTemplate kPasswordDialog{
    IDD_PASSWORD, "Password", 264, 102, "MS Shell Dlg", 8, DS_NONE, nullptr, kControls, &LoadImage,
};

} // namespace res
