#include "app/main_window.h"

#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> g_mainWindow;
}

QWidget* GetMainWindow() {
    return g_mainWindow.data();
}

void SetMainWindow(QWidget* window) {
    g_mainWindow = window;
}
