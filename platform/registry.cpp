#include "platform/registry.h"

#include "platform/text.h"
#include "platform/user_folders.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#ifndef KVZIP_INSTALL_PREFIX
#define KVZIP_INSTALL_PREFIX "/usr/local"
#endif

namespace platform {

namespace {

constexpr const char* kStoreFileName = "registry.ini";
constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT\\";

// The system's configuration folder for a prefix, as the install rules
// place it: /etc for the distribution's own /usr, <prefix>/etc otherwise.
std::filesystem::path SystemConfigFolder(const std::filesystem::path& prefix) {
    return prefix == "/usr" ? std::filesystem::path("/etc") : prefix / "etc";
}

} // namespace

RegistryLocations RegistryLocations::FromEnvironment() {
    RegistryLocations where;
    where.override = EnvironmentValue("KVZIP_REGISTRY");
    where.xdgConfigHome = EnvironmentValue("XDG_CONFIG_HOME");
    where.home = EnvironmentValue("HOME");
    where.installPrefix = KVZIP_INSTALL_PREFIX;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        where.executableFolder = exe.parent_path();
        // Installed programs find their store wherever the prefix went (the
        // package's /usr, a `make install PREFIX=...`), not only the build's.
        if (where.executableFolder.filename() == "bin")
            where.installPrefix = where.executableFolder.parent_path();
    }
    return where;
}

std::vector<std::filesystem::path> RegistryCandidates(const RegistryLocations& where) {
    if (where.override && !where.override->empty())
        return {std::filesystem::path(*where.override)};

    std::vector<std::filesystem::path> candidates;
    if (const auto user = UserFolder(where.xdgConfigHome, where.home, ".config"); !user.empty())
        candidates.push_back(user / kStoreFileName);
    if (!where.executableFolder.empty())
        candidates.push_back(where.executableFolder / kStoreFileName);
    if (!where.installPrefix.empty())
        candidates.push_back(SystemConfigFolder(where.installPrefix) / "kelvane-zip" /
                             kStoreFileName);
    return candidates;
}

std::filesystem::path FindRegistryFile(const RegistryLocations& where) {
    for (const auto& candidate : RegistryCandidates(where)) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return {};
}

std::filesystem::path UserRegistryFile(const RegistryLocations& where) {
    if (where.override && !where.override->empty())
        return std::filesystem::path(*where.override);
    const auto user = UserFolder(where.xdgConfigHome, where.home, ".config");
    if (user.empty() || IsSystemFolder(user))
        return {};
    return user / kStoreFileName;
}

std::optional<RegistryKey> RegistryKey::OpenClassesRoot(std::wstring_view name) {
    for (const auto& candidate : RegistryCandidates(RegistryLocations::FromEnvironment())) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(candidate, error))
            continue;
        if (auto key = OpenClassesRoot(candidate, name))
            return key;
    }
    return std::nullopt;
}

std::optional<RegistryKey> RegistryKey::OpenClassesRoot(const std::filesystem::path& store,
                                                        std::wstring_view name) {
    std::ifstream in(store, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;

    std::string section = std::string(kClassesRoot) + ToUtf8(name);
    IniDocument document = IniDocument::Parse(text.str());
    if (!document.HasSection(section))
        return std::nullopt;
    return RegistryKey(store, std::move(section), std::move(document));
}

std::optional<std::wstring> RegistryKey::QueryString(std::wstring_view valueName) const {
    if (!m_open)
        return std::nullopt;
    const auto value = m_document.Get(m_section, ToUtf8(valueName));
    if (!value)
        return std::nullopt;
    return FromUtf8(*value);
}

} // namespace platform
