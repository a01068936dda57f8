// The application's main window, which automation objects attach to.
#pragma once

class QWidget;

QWidget* GetMainWindow();
void SetMainWindow(QWidget* window);
