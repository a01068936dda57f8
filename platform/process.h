// Ending the own process and handing files and links to the desktop.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Ends the process at once with `code`, closing nothing: every log line is
// on disk already. Returns only when an installed hook returns, which
// callers treat as "the process could not be ended".
void EndProcess(int code);

using EndProcessHook = std::function<void(int code)>;
// Installs `hook` in place of ending (tests); returns the one it replaces.
EndProcessHook SetEndProcessHook(EndProcessHook hook);

// Opens a file or URL in the desktop's default application without waiting
// for it. Returns false when no application could be started for it (the
// caller then tells the user).
bool ShellOpen(const std::wstring& target);
// ShellOpen's way without a hook: the desktop's opener, watched for a few
// seconds for a failure.
bool OpenWithDesktop(const std::wstring& target);

using ShellOpenHook = std::function<bool(const std::wstring& target)>;
// Routes ShellOpen elsewhere (the GUI, tests); returns the one it replaces.
ShellOpenHook SetShellOpenHook(ShellOpenHook hook);

} // namespace platform
