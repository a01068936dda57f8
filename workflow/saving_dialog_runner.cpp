#include "workflow/saving_dialog_runner.h"

#include "platform/message_box.h"

#include <utility>

namespace {
SavingDialogRunner g_savingDialogRunner;
}

SavingDialogRunner SetSavingDialogRunner(SavingDialogRunner runner) {
    return std::exchange(g_savingDialogRunner, std::move(runner));
}

int RunSavingDialog() {
    return g_savingDialogRunner ? g_savingDialogRunner() : platform::IDCANCEL;
}
