#include "app/startup_splash.h"

#include "app/splash_screen_ex.h"

#include <QCoreApplication>
#include <QPointer>
#include <thread>

std::chrono::milliseconds g_startupSplashWait{2500};

void ShowStartupSplash(QWidget* owner, const QString& picture) {
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(
        owner, SPLASH_FADE_IN | SPLASH_FADE_OUT | SPLASH_SHADOW | SPLASH_CENTRE_SCREEN, 2000);
    splash->SetPicture(picture);
    splash->ShowSplash();
    // Get the picture painted; user input waits, and the splash's own timer
    // cannot come due this early.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    // A plain wait: the splash must not go by its own timer or by a click.
    std::this_thread::sleep_for(g_startupSplashWait);
    splash->HideSplash();
    splash->DestroyWindow();
}
