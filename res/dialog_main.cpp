// Template 102: the main dialog, step 1 of the wizard.
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

// The top 34 units stay free for the banner of the skin.
// Enlarged by the user, the list grows, the buttons keep to the right and
// the options to the bottom.
const ControlTemplate kControls[] = {
    {ControlKind::Static, IDC_STATIC, "Select File(s)      :", 14, 42, 90, 8},
    {ControlKind::ListView, IDC_SOURCE_LIST, "", 14, 54, 390, 150, CS_BORDER | CS_SINGLESEL, 0,
     AN_WIDTH | AN_HEIGHT},
    {ControlKind::PushButton, IDC_BROWSE, "Browse", 414, 54, 60, 14, CS_NONE, 0, AN_RIGHT},
    {ControlKind::PushButton, IDC_CLEAR_SELECTED, "Clear selected", 414, 74, 60, 14, CS_NONE, 0,
     AN_RIGHT},
    {ControlKind::PushButton, IDC_CLEAR_ALL, "Clear All", 414, 94, 60, 14, CS_NONE, 0, AN_RIGHT},
    {ControlKind::Static, IDC_STATIC, "Repair Mode      :", 14, 220, 72, 8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::RadioButton, IDC_QUICK_REPAIR, "Quick Repair", 92, 219, 70, 10, CS_GROUP, 0,
     AN_BOTTOM},
    {ControlKind::RadioButton, IDC_ADVANCE_REPAIR, "Advance Repair", 170, 219, 80, 10, CS_NONE, 0,
     AN_BOTTOM},
    {ControlKind::Static, IDC_STATIC, "Skip Perview      :   ", 14, 242, 76, 8, CS_NONE, 0,
     AN_BOTTOM},
    {ControlKind::CheckBox, IDC_SKIP_PREVIEW, "", 92, 241, 10, 10, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_STATIC, "Recommended  for  multiple files repairing", 106, 242, 180,
     8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_STATIC, "Past Damage      :", 14, 264, 76, 8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::CheckBox, IDC_PAST_DAMAGE, "", 92, 263, 10, 10, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_STATIC, "Recover the data that follows damage inside a file", 106,
     264, 200, 8, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_STATIC, "Links as Files      :", 14, 286, 76, 8, CS_NONE, 0,
     AN_BOTTOM},
    {ControlKind::CheckBox, IDC_LINKS_AS_FILES, "", 92, 285, 10, 10, CS_NONE, 0, AN_BOTTOM},
    {ControlKind::Static, IDC_STATIC, "Save symbolic links as files holding their target", 106, 286,
     200, 8, CS_NONE, 0, AN_BOTTOM},
    // The default button: Enter runs Repair. Kept so, since the alternative,
    // the dialog's OK on Enter, would end the program without a question.
    {ControlKind::DefPushButton, IDC_REPAIR, "Repair", 414, 288, 60, 16, CS_NONE, 0,
     AN_RIGHT | AN_BOTTOM},
};
} // namespace

const DialogTemplate kMainDialog{
    IDD_VELMOR_DIALOG,
    "Velmor",
    484,
    314,
    "MS Shell Dlg",
    8,
    DS_SYSMENU | DS_MINIMIZEBOX | DS_THICKFRAME,
    &kMainMenu,
    kControls,
    &LoadImage,
};

} // namespace res
