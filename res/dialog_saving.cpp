// Template 132: the saving dialog, step 3 of the wizard.
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

const ControlTemplate kControls[] = {
    {ControlKind::Static, IDC_STATIC, "File Name  :", 14, 12, 50, 8},
    {ControlKind::Static, IDC_SAVE_FILE_NAME, "", 66, 12, 270, 17},
    {ControlKind::Static, IDC_STATIC, "File Count :", 14, 32, 50, 8},
    {ControlKind::Static, IDC_SAVE_FILE_NUMBER, "", 66, 32, 24, 8},
    {ControlKind::Static, IDC_STATIC, "/", 92, 32, 6, 8},
    {ControlKind::Static, IDC_SAVE_TOTAL, "", 100, 32, 30, 8},
    {ControlKind::Static, IDC_STATIC, "File Path   :", 14, 45, 50, 8},
    {ControlKind::Static, IDC_SAVE_FILE_PATH, "", 66, 45, 270, 17},
    {ControlKind::GroupBox, IDC_STATIC, "Current Progress", 14, 66, 321, 32},
    {ControlKind::ProgressBar, IDC_SAVE_CURRENT_PROGRESS, "", 24, 79, 301, 12},
    {ControlKind::GroupBox, IDC_STATIC, "Overall Progress", 14, 102, 321, 32},
    {ControlKind::ProgressBar, IDC_SAVE_OVERALL_PROGRESS, "", 24, 115, 301, 12},
    {ControlKind::PushButton, IDC_SAVE_PAUSE, "Pause", 117, 146, 50, 14},
    {ControlKind::PushButton, IDC_SAVE_STOP, "Stop", 182, 146, 50, 14},
};
} // namespace

const DialogTemplate kSavingDialog{
    IDD_FILESAVE, "File Saving", 349,       170,        "MS Shell Dlg", 8,
    DS_SYSMENU,   nullptr,       kControls, &LoadImage,
};

} // namespace res
