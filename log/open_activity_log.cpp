#include "log/open_activity_log.h"

#include "log/activity_log.h"
#include "platform/process.h"

#include <filesystem>
#include <system_error>

void OpenActivityLogInNotepad() {
    std::wstring path = ResolveActivityLogPath();
    // An absolute path cannot be mistaken for a link or an address by the
    // opener, whatever the folder text of the registry store looks like.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (!error)
        path = absolute.wstring();
    platform::ShellOpen(path);
}
