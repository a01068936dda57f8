// How the preview starts step 3: it runs the saving dialog g_fileSaveDlg
// modally through a runner, which the saving dialog installs and tests
// replace with a double.
#pragma once

#include <functional>

using SavingDialogRunner = std::function<int()>;

// Installs `runner`; returns the one it replaces.
SavingDialogRunner SetSavingDialogRunner(SavingDialogRunner runner);

// Runs the saving dialog and returns its result; IDCANCEL when none is installed.
int RunSavingDialog();
