#include "app/velmor_app.h"

#include "app/automation.h"
#include "app/main_window.h"
#include "app/second_start.h"
#include "app/velmor_dlg.h"
#include "app/velmor_dlg_auto_proxy.h"
#include "app/workflow_dialogs.h"
#include "log/activity_log.h"
#include "platform/qt/local_path_qt.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "workflow/repair_state.h"

#include <QCoreApplication>
#include <QStringList>
#include <filesystem>

CVelmorApp theApp;

void CVelmorApp::SetCommandLine(std::vector<std::string> arguments) {
    m_arguments = std::move(arguments);
}

bool CVelmorApp::InitInstance() {
    // Common controls, COM and the control container have no counterpart
    // that could fail here: the toolkit is up once QApplication exists.
    m_registryKey = L"Local AppWizard-Generated Applications";

    const std::vector<std::string> words(
        m_arguments.empty() ? m_arguments.begin() : m_arguments.begin() + 1, m_arguments.end());
    m_commandLine = ParseCommandLine(words);
    // The registration is the user's own, never the package's file in /etc.
    const std::filesystem::path store =
        platform::UserRegistryFile(platform::RegistryLocations::FromEnvironment());
    switch (m_commandLine.action) {
    case CCommandLineInfo::Action::Automation:
        automation::RegisterRunningFactory(automation::kClassId,
                                           &CVelmorDlgAutoProxy::CreateForClient);
        break;
    case CCommandLineInfo::Action::Unregister:
        automation::UnregisterServer(store);
        return false;
    case CCommandLineInfo::Action::Help:
    case CCommandLineInfo::Action::Version:
        // Printed by main() before the toolkit starts; nothing to show here.
        return false;
    case CCommandLineInfo::Action::Register:
    case CCommandLineInfo::Action::Open: {
        // Failures are not reported: a store the user cannot write stays as it is.
        automation::RegisterServer(store, QCoreApplication::applicationFilePath().toStdString());
        if (m_commandLine.action == CCommandLineInfo::Action::Register)
            return false;
        break;
    }
    }

    g_appRegistryKey = L"KVZIP";
    g_appFolder =
        ReadRegistryString(platform::RegistryKey::OpenClassesRoot(g_appRegistryKey), L"FilePath");
    ReadNameEncodingSetting();

    // The names' own bytes, which a QString decoded from them may not keep.
    QStringList archives;
    for (const std::string& file : m_commandLine.files)
        archives << platform::PathToQString(
            platform::DecodeLocal(std::filesystem::absolute(file).lexically_normal().native()));
    // A running instance takes the archives ("Open with" while it runs),
    // before this one shows its splash. The main dialog checks again: two
    // starts at once both get here.
    if (HandOverToRunningInstance(archives, std::chrono::milliseconds(0)))
        return false;

    const CWorkflowDialogs workflowDialogs;
    CVelmorDlg dialog;
    SetMainWindow(&dialog);
    dialog.m_startupFiles = archives;
    m_mainDialogShown = true;
    dialog.DoModal();
    SetMainWindow(nullptr);
    return false;
}
