#include "res/dialog_templates.h"
#include "res/resources.h"

#include <stdexcept>
#include <string>

namespace res {

namespace {
const platform::DialogTemplate* const kDialogs[] = {
    &kAboutDialog,  &kMainDialog,       &kPreviewDialog,   &kAnalysisDialog,
    &kSavingDialog, &kCompletionDialog, &kOverwriteDialog, &kPasswordDialog,
};
} // namespace

const platform::DialogTemplate& Dialog(int id) {
    for (const platform::DialogTemplate* dialog : kDialogs)
        if (dialog->id == id)
            return *dialog;
    throw std::out_of_range("no dialog template " + std::to_string(id));
}

std::span<const platform::DialogTemplate* const> AllDialogs() {
    return kDialogs;
}

const platform::MenuTemplate& MainMenu() {
    return kMainMenu;
}

} // namespace res
