// Template 1010: the analysis dialog of one source file.
#include "res/dialog_templates.h"
#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

namespace {
using namespace platform;

const ControlTemplate kControls[] = {
    {ControlKind::PushButton, IDC_ANALYSIS_PAUSE, "Pause", 109, 77, 50, 14},
    {ControlKind::PushButton, IDC_ANALYSIS_STOP, "Stop", 54, 77, 50, 14},
    {ControlKind::Static, IDC_STATIC, "Analysis is in Progress, Please  wait .....", 40, 24, 128,
     8},
    {ControlKind::ProgressBar, IDC_ANALYSIS_PROGRESS, "", 40, 36, 132, 12},
    {ControlKind::GroupBox, IDC_STATIC, "", 13, 8, 186, 60},
};
} // namespace

const DialogTemplate kAnalysisDialog{
    IDD_PROGRESSBAR,        "Analysis", 214,       97,         "MS Shell Dlg", 8,
    DS_SYSMENU | DS_CENTER, nullptr,    kControls, &LoadImage,
};

} // namespace res
