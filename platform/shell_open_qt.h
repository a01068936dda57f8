// Opening a document or an address with the desktop's default application.
#pragma once

#include <string>

namespace platform {

// `target` is an address with a scheme (http:, mailto:...) or a file path.
// Falls back to xdg-open when the desktop services cannot open it.
bool QtShellOpen(const std::wstring& target);

} // namespace platform
