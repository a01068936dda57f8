// How the preview starts step 3: it runs the saving dialog g_fileSaveDlg
// modally, for the file it shows; tests install a double instead.
#pragma once

#include <functional>

using SavingDialogRunner = std::function<int()>;

// Installs `runner`; returns the one it replaces.
SavingDialogRunner SetSavingDialogRunner(SavingDialogRunner runner);

// Runs the installed double, else g_fileSaveDlg, and returns its result;
// IDCANCEL when there is neither.
int RunSavingDialog();
