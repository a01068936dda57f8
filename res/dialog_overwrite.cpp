// Template 139: the four-way overwrite question of the saving pass.
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

const ControlTemplate kControls[] = {
    {ControlKind::Bitmap, IDC_PROMPT_PICTURE, "", 8, 8, 40, 40, CS_NONE, IDB_SAVEMSG},
    {ControlKind::Static, IDC_STATIC, "The file already exist's. Do you want to overwrite files",
     56, 18, 196, 20},
    {ControlKind::PushButton, IDC_PROMPT_YES, "Yes", 12, 66, 54, 14},
    {ControlKind::PushButton, IDC_PROMPT_NO, "No", 72, 66, 54, 14},
    {ControlKind::PushButton, IDC_PROMPT_YES_ALL, "Yes To All", 132, 66, 56, 14},
    {ControlKind::PushButton, IDC_PROMPT_NO_ALL, "No To All", 194, 66, 56, 14},
};
} // namespace

// No system menu: the prompt has no close box.
const DialogTemplate kOverwriteDialog{
    IDD_SAVEMSG, "Dialog", 262, 90, "MS Shell Dlg", 8, DS_NONE, nullptr, kControls, &LoadImage,
};

} // namespace res
