#include "platform/shell_open_qt.h"

#include "platform/process.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrl>

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
    // On a bare X11 or Wayland session this runs xdg-open itself.
    return url.isValid() && QDesktopServices::openUrl(url);
}

void InstallQtShellOpen() {
    SetShellOpenHook(&QtShellOpen);
}

} // namespace platform
