#include "log/open_activity_log.h"

#include "identity/app_identity.h"
#include "log/activity_log.h"
#include "platform/process.h"

#include <filesystem>
#include <system_error>

void OpenOrSayWhere(platform::WindowHandle owner, const std::wstring& target) {
    if (platform::ShellOpen(target))
        return;
    platform::MessageBox(owner,
                         L"No application is set up on this desktop to open it. Open it by "
                         L"hand:\r\n\r\n" +
                             target,
                         g_appTitle, platform::MB_OK | platform::MB_ICONINFORMATION);
}

void OpenActivityLogInNotepad(platform::WindowHandle owner) {
    std::wstring path = ResolveActivityLogPath();
    // An absolute path cannot be mistaken for a link or an address by the
    // opener, whatever the folder text of the registry store looks like.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (!error)
        path = absolute.wstring();
    OpenOrSayWhere(owner, path);
}
