// kelvane-zip: the desktop program.
#include "app/velmor_app.h"
#include "platform/message_box_qt.h"
#include "platform/shell_open_qt.h"

#include <QApplication>
#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    QApplication application(argc, argv);
    platform::InstallQtMessageBoxHandler();
    platform::InstallQtShellOpen();
    theApp.SetCommandLine(std::vector<std::string>(argv, argv + argc));
    theApp.InitInstance();
    return 0;
}
