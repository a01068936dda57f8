// Opening a document or an address with the desktop's default application.
#pragma once

#include <QUrl>
#include <string>

namespace platform {

// `target` is an address with a scheme (http:, mailto:...), a bare web or
// e-mail address, or a file path. Meant to be installed as the GUI's hook
// of platform::ShellOpen, which keeps its own fallback.
bool QtShellOpen(const std::wstring& target);

// The address QtShellOpen opens for `target`; invalid when it is empty.
QUrl ShellTargetUrl(const std::wstring& target);

} // namespace platform
