// Opening a document or an address with the desktop's default application.
#pragma once

#include <QUrl>
#include <string>

namespace platform {

// `target` is an address with a scheme (http:, mailto:...), a bare web or
// e-mail address, or a file path. The desktop services run xdg-open
// themselves where no desktop environment answers.
bool QtShellOpen(const std::wstring& target);

// Routes platform::ShellOpen to QtShellOpen; the GUI start-up calls it.
void InstallQtShellOpen();

// The address QtShellOpen opens for `target`; invalid when it is empty.
QUrl ShellTargetUrl(const std::wstring& target);

} // namespace platform
