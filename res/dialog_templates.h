// The templates, one file each, gathered by dialog_registry.cpp.
#pragma once

#include "platform/qt/dialog_template_qt.h"

namespace res {

extern const platform::MenuTemplate kMainMenu;

extern const platform::DialogTemplate kAboutDialog;
extern const platform::DialogTemplate kMainDialog;
extern const platform::DialogTemplate kPreviewDialog;
extern const platform::DialogTemplate kAnalysisDialog;
extern const platform::DialogTemplate kSavingDialog;
extern const platform::DialogTemplate kCompletionDialog;
extern const platform::DialogTemplate kOverwriteDialog;
extern const platform::DialogTemplate kPasswordDialog;

} // namespace res
