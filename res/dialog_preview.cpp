// Template 130: the preview, step 2 of the wizard.
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

// Enlarged by the user, the frame and the list grow, the file buttons stay
// centred and the save buttons keep to the bottom right.
const ControlTemplate kControls[] = {
    {ControlKind::PushButton, IDC_NEXT_FILE, "Next File", 244, 244, 74, 14, CS_NONE, 0,
     AN_HCENTRE | AN_BOTTOM},
    {ControlKind::PushButton, IDC_BACK_FILE, "Back File", 166, 244, 74, 14, CS_NONE, 0,
     AN_HCENTRE | AN_BOTTOM},
    {ControlKind::PushButton, IDC_SAVE_CURRENT, "Save Current File", 342, 273, 82, 14, CS_NONE, 0,
     AN_RIGHT | AN_BOTTOM},
    {ControlKind::PushButton, IDC_SAVE_ALL, "Save All", 429, 273, 50, 14, CS_NONE, 0,
     AN_RIGHT | AN_BOTTOM},
    {ControlKind::PushButton, IDC_BACK, "Back", 4, 274, 50, 14, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::GroupBox, IDC_LIST_FRAME, "", 7, 32, 468, 230, CS_NONE, 0, AN_WIDTH | AN_HEIGHT},
    {ControlKind::Static, IDC_SOURCE_PATH_LABEL, "Source File Path    :", 17, 44, 66, 8},
    {ControlKind::Static, IDC_STATIC, " File Number :", 16, 247, 47, 8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_FILE_NUMBER, "   ", 63, 247, 12, 8, CS_RIGHT, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_NUMBER_SEPARATOR, "/", 78, 247, 8, 8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_FILE_COUNT, "", 82, 247, 13, 8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_SOURCE_PATH, "", 83, 44, 385, 17, CS_NONE, 0, AN_WIDTH},
    {ControlKind::ListView, IDC_ENTRY_LIST, "", 15, 79, 452, 157, CS_BORDER, 0,
     AN_WIDTH | AN_HEIGHT},
    {ControlKind::Static, IDC_ENTRY_COUNT_LABEL, "Number Of Files Extracted :", 18, 66, 90, 12},
    {ControlKind::Static, IDC_ENTRY_COUNT, "", 108, 65, 69, 12},
    // An empty text the preview never uses.
    {ControlKind::Static, IDC_PREVIEW_BLANK, "", 183, 65, 60, 12},
    // Stands in for the embedded browser control, which is never used.
    {ControlKind::Placeholder, IDC_EXPLORER, "", 468, 4, 10, 6, CS_HIDDEN | CS_DISABLED, 0,
     AN_RIGHT},
};
} // namespace

const DialogTemplate kPreviewDialog{
    IDD_PREVIEW,
    "Preview",
    484,
    292,
    "MS Shell Dlg",
    8,
    DS_SYSMENU | DS_MINIMIZEBOX | DS_THICKFRAME,
    &kMainMenu,
    kControls,
    &LoadImage,
};

} // namespace res
