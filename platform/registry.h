// The registry store: the stand-in for HKEY_CLASSES_ROOT, kept in an INI
// file "registry.ini" whose sections are named "HKEY_CLASSES_ROOT\<key>".
#pragma once

#include "platform/ini_document.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Where the store may live, gathered from the environment.
struct RegistryLocations {
    std::optional<std::string> override;      // $KVZIP_REGISTRY
    std::optional<std::string> xdgConfigHome; // $XDG_CONFIG_HOME
    std::optional<std::string> home;          // $HOME
    std::filesystem::path executableFolder;   // folder of /proc/self/exe
    // The prefix the program runs from (the parent of its bin folder), else
    // the build's CMAKE_INSTALL_PREFIX. Its store is <prefix>/etc/kelvane-zip,
    // or /etc/kelvane-zip for /usr.
    std::filesystem::path installPrefix;

    static RegistryLocations FromEnvironment();
};

// The files to try, in order. A non-empty $KVZIP_REGISTRY is the only
// candidate: whoever sets it means that file, even when it does not exist.
std::vector<std::filesystem::path> RegistryCandidates(const RegistryLocations& where);

// The first candidate that exists, or an empty path when there is none.
std::filesystem::path FindRegistryFile(const RegistryLocations& where);

// The store the program writes (the automation registration): $KVZIP_REGISTRY
// when set, else the user's own, whether it exists yet or not; never one
// under /usr or /etc, which belongs to the package. Empty when there is none.
std::filesystem::path UserRegistryFile(const RegistryLocations& where);

// An open key under HKEY_CLASSES_ROOT. It holds the file's contents as they
// were when the key was opened; Close() or destruction releases it.
class RegistryKey {
public:
    // Opens HKEY_CLASSES_ROOT\<name> in the first store, of those the
    // environment names, that holds the key: the user's store may hold only
    // the keys the program wrote there, the others still come from the
    // system's.
    static std::optional<RegistryKey> OpenClassesRoot(std::wstring_view name);
    // The same in a given store file; used by the look-up above and by tests.
    static std::optional<RegistryKey> OpenClassesRoot(const std::filesystem::path& store,
                                                      std::wstring_view name);

    RegistryKey(RegistryKey&&) = default;
    RegistryKey& operator=(RegistryKey&&) = default;

    // The value's text, or nothing when the key is closed or lacks the value.
    std::optional<std::wstring> QueryString(std::wstring_view valueName) const;
    bool IsOpen() const { return m_open; }
    void Close() { m_open = false; }

    const std::filesystem::path& StorePath() const { return m_store; }
    const std::string& SectionName() const { return m_section; }

private:
    RegistryKey(std::filesystem::path store, std::string section, IniDocument document)
        : m_store(std::move(store)), m_section(std::move(section)),
          m_document(std::move(document)) {}

    // Kept so that a writer can put values back into the same file.
    std::filesystem::path m_store;
    std::string m_section;
    IniDocument m_document;
    bool m_open = true;
};

} // namespace platform
