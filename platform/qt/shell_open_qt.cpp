#include "platform/qt/shell_open_qt.h"

#include "platform/process.h"
#include "platform/qt/gui_host_qt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrl>
#include <atomic>
#include <thread>

namespace platform {

QUrl ShellTargetUrl(const std::wstring& target) {
    const QString text = QString::fromStdWString(target).trimmed();
    if (text.isEmpty())
        return QUrl();
    // A bare e-mail address opens the mail program, as the shell would.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    static const QRegularExpression mail(QStringLiteral("^[^@/\\s]+@[^@/\\s]+\\.[^@/\\s]+$"));
    QUrl url;
    if (scheme.match(text).hasMatch())
        url = QUrl(text);
    else if (mail.match(text).hasMatch())
        url = QUrl(QStringLiteral("mailto:") + text);
    else if (text.startsWith(QStringLiteral("www.")))
        url = QUrl(QStringLiteral("https://") + text);
    else
        url = QUrl::fromLocalFile(text);
    return url;
}

bool QtShellOpen(const std::wstring& target) {
    const QUrl url = ShellTargetUrl(target);
    // For a file Qt only starts the opener and cannot tell whether it found
    // an application; the desktop's opener is watched instead.
    if (url.isLocalFile()) {
        // Watched on a thread of its own: the windows keep painting.
        std::atomic<int> opened = -1;
        std::thread watcher(
            [&opened, path = url.toLocalFile().toStdWString()] { opened = OpenWithDesktop(path); });
        QApplication::setOverrideCursor(Qt::BusyCursor);
        WaitWithoutUserInput([&opened] { return opened >= 0; });
        QApplication::restoreOverrideCursor();
        watcher.join();
        return opened == 1;
    }
    // On a bare X11 or Wayland session this runs xdg-open itself.
    return url.isValid() && QDesktopServices::openUrl(url);
}

void InstallQtShellOpen() {
    SetShellOpenHook(&QtShellOpen);
}

} // namespace platform
