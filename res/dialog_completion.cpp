// Template 134: the completion dialog that offers the activity log.
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

// The text says how the pass went; the dialog grows when it needs more
// than one line (CViewLog).
const ControlTemplate kControls[] = {
    {ControlKind::GroupBox, IDC_STATIC, "", 7, 6, 172, 54},
    {ControlKind::Static, IDC_COMPLETION_TEXT, "Saving Completed Successfully", 18, 20, 150, 8},
    {ControlKind::CheckBox, IDC_VIEW_LOG_CHECK, "", 18, 38, 10, 10},
    {ControlKind::Static, IDC_STATIC, "View Log File", 30, 39, 60, 8},
    {ControlKind::CheckBox, IDC_OPEN_FOLDER_CHECK, "", 92, 38, 10, 10},
    {ControlKind::Static, IDC_STATIC, "Open Output Folder", 104, 39, 72, 8},
    {ControlKind::DefPushButton, IDC_VIEW_LOG_OK, "OK", 68, 68, 50, 14},
};
} // namespace

const DialogTemplate kCompletionDialog{
    IDD_VIEWLOG, "View Log", 186, 90, "MS Shell Dlg", 8, DS_SYSMENU, nullptr, kControls, &LoadImage,
};

} // namespace res
