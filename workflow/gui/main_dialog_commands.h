// What the preview passes on to the main dialog: the commands of the shared
// menu that do not belong to step 2. CVelmorDlg implements it.
#pragma once

class IMainDialogCommands {
public:
    virtual ~IMainDialogCommands() = default;
    virtual void OnViewLog() = 0;
    virtual void OnHelpContents() = 0;
    virtual void OnClearLog() = 0;
    virtual void OnAbout() = 0;
};

// The main dialog's commands while it exists; null before.
inline IMainDialogCommands* g_mainDialogCommands = nullptr;
