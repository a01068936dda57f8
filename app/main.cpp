// kelvane-zip: the desktop program.
#include "app/command_line_info.h"
#include "app/velmor_app.h"
#include "platform/qt/message_box_qt.h"
#include "platform/qt/shell_open_qt.h"
#include "platform/version.h"

#include <QApplication>
#include <clocale>
#include <cstdio>

namespace {

const char kUsage[] = "Usage: kelvane-zip [ARCHIVE...]\n"
                      "       kelvane-zip /Register | /Regserver | /Unregister | /Unregserver\n"
                      "       kelvane-zip /Automation | /Embedding [ARCHIVE...]\n"
                      "\n"
                      "Kelvane for Zip salvages the files of damaged ZIP archives. The wizard\n"
                      "opens with the ARCHIVEs in its list of source files.\n"
                      "\n"
                      "  /Register, /Regserver      write the automation entries to the registry\n"
                      "                             store and end without showing anything\n"
                      "  /Unregister, /Unregserver  remove them and end\n"
                      "  /Automation, /Embedding    also serve automation clients\n"
                      "  --help                     show this text\n"
                      "  --version                  show the version\n"
                      "\n"
                      "Switches may start with / or -, in any letter case. For the command line\n"
                      "salvage tool see kvzip(1).\n";

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::vector<std::string> arguments(argv, argv + argc);
    // Answered before the toolkit starts, so that they work without a display.
    const std::vector<std::string> words(argc > 1 ? arguments.begin() + 1 : arguments.end(),
                                         arguments.end());
    switch (ParseCommandLine(words).action) {
    case CCommandLineInfo::Action::Help:
        std::fputs(kUsage, stdout);
        return 0;
    case CCommandLineInfo::Action::Version:
        std::printf("kelvane-zip (Kelvane for Zip) %s\n", KVZIP_VERSION);
        return 0;
    default:
        break;
    }
    QApplication application(argc, argv);
    platform::InstallQtMessageBoxHandler();
    platform::InstallQtShellOpen();
    theApp.SetCommandLine(arguments);
    theApp.InitInstance();
    return 0;
}
