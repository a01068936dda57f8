#include "platform/folder_browser_qt.h"

#include <QFileDialog>
#include <QStandardPaths>
#include <utility>

namespace platform {

namespace {
FolderBrowserHook g_folderBrowserHook;
}

std::optional<std::wstring> BrowseForFolder(QWidget* owner, const QString& title) {
    if (g_folderBrowserHook)
        return g_folderBrowserHook(title);
    const QString folder = QFileDialog::getExistingDirectory(
        owner, title, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
        QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return folder.toStdWString();
}

FolderBrowserHook SetFolderBrowserHook(FolderBrowserHook hook) {
    return std::exchange(g_folderBrowserHook, std::move(hook));
}

} // namespace platform
