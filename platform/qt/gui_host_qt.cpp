#include "platform/qt/gui_host_qt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace platform {

bool IsGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void RunOnGuiThread(const std::function<void()>& call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || IsGuiThread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(
        app, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void WaitWithoutUserInput(const std::function<bool()>& done) {
    if (done())
        return;
    QEventLoop loop;
    // A worker's flag posts no event: a short timer wakes the loop to look.
    QTimer poll;
    poll.start(5);
    while (!done()) {
        // Called from a queued call, a nested loop does not deliver the calls
        // queued behind it, such as a worker's blocking call: send them here.
        QCoreApplication::sendPostedEvents();
        if (done())
            break;
        loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace platform
