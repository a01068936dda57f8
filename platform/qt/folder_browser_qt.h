// The folder browser: the desktop's directory chooser, or a hook that
// answers in its place (tests, automation).
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace platform {

// Asks the user for a folder, starting at `start` (the home folder when it
// is not there). A typed name of a folder that does not exist makes it.
// Nothing when the user cancels.
std::optional<std::wstring> BrowseForFolder(QWidget* owner, const QString& title,
                                            const QString& start = {});

using FolderBrowserHook = std::function<std::optional<std::wstring>(const QString& title)>;
// Installs `hook` in place of the chooser; returns the one it replaces.
FolderBrowserHook SetFolderBrowserHook(FolderBrowserHook hook);

} // namespace platform
