// The splash that the main dialog shows while the program starts.
#pragma once

#include <QString>
#include <QWidget>
#include <chrono>

// How long the picture stays up; tests shorten it.
extern std::chrono::milliseconds g_startupSplashWait;

// Shows `picture` centred on the screen with fading, keeps it up for
// g_startupSplashWait without handling input, then fades it out and removes
// it. A missing picture shows nothing; the wait still happens.
void ShowStartupSplash(QWidget* owner, const QString& picture);
