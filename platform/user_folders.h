// The per-user folders of the XDG base directory rules: where the registry
// store of one user lives, and where the log goes when nothing else can take it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The environment variable's value, or nothing when it is unset.
std::optional<std::string> EnvironmentValue(const char* name);

// `<base>/kelvane-zip`, where base is `variable` (e.g. $XDG_STATE_HOME) when it
// is an absolute path, else `$HOME/<homeDefault>`; empty when neither is
// usable. An empty or relative variable is invalid and ignored.
std::filesystem::path UserFolder(const std::optional<std::string>& variable,
                                 const std::optional<std::string>& home,
                                 std::string_view homeDefault);

// The system's own folders (/usr, /etc and below): what a package installed
// there belongs to the package, so the program never writes there at run
// time, not even as root.
bool IsSystemFolder(const std::filesystem::path& folder);

// $XDG_STATE_HOME/kelvane-zip (default ~/.local/state/kelvane-zip), made with
// its missing parents (mode 0700, as the rules ask). Empty when there is no
// home or the folder cannot be made.
std::filesystem::path MakeUserStateFolder();

} // namespace platform
