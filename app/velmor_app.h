// CVelmorApp: start-up. Prepares the platform, honours the automation
// switches, fixes the installation folder and runs the main dialog.
#pragma once

#include "app/command_line_info.h"

#include <string>
#include <vector>

class CVelmorApp {
public:
    // Keeps the command line for InitInstance (the program's own name first).
    void SetCommandLine(std::vector<std::string> arguments);
    // Returns false in every case: the program ends when the main dialog does.
    bool InitInstance();

    // Where the framework would keep settings; nothing is stored there.
    std::wstring m_registryKey;
    std::vector<std::string> m_arguments;
    CCommandLineInfo m_commandLine;
    bool m_mainDialogShown = false;
};

extern CVelmorApp theApp;
