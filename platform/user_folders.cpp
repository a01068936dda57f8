#include "platform/user_folders.h"

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <sys/stat.h>
#include <system_error>

namespace platform {

namespace {

// mkdir -p with the given mode for every folder it makes.
bool MakeFolders(const std::filesystem::path& folder, mode_t mode) {
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::filesystem::path UserFolder(const std::optional<std::string>& variable,
                                 const std::optional<std::string>& home,
                                 std::string_view homeDefault) {
    if (variable && !variable->empty() && std::filesystem::path(*variable).is_absolute())
        return std::filesystem::path(*variable) / "kelvane-zip";
    if (home && !home->empty())
        return std::filesystem::path(*home) / homeDefault / "kelvane-zip";
    return {};
}

bool IsSystemFolder(const std::filesystem::path& folder) {
    // Resolved first: "/usr/../home" is not one, a link into /usr is.
    std::error_code error;
    std::filesystem::path real = std::filesystem::weakly_canonical(folder, error);
    if (error)
        real = folder.lexically_normal();
    const auto first = real.begin();
    if (!real.is_absolute() || first == real.end() || std::next(first) == real.end())
        return false;
    const std::filesystem::path top = *std::next(first);
    return top == "usr" || top == "etc";
}

std::filesystem::path MakeUserStateFolder() {
    const auto folder =
        UserFolder(EnvironmentValue("XDG_STATE_HOME"), EnvironmentValue("HOME"), ".local/state");
    if (folder.empty() || !MakeFolders(folder, 0700))
        return {};
    return folder;
}

} // namespace platform
