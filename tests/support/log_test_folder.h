// A private folder with its own registry store, named through
// $KVZIP_REGISTRY for the test's lifetime, $XDG_STATE_HOME inside it, and a
// UTF-8 locale.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class LogTestFolder {
public:
    LogTestFolder();
    ~LogTestFolder();
    LogTestFolder(const LogTestFolder&) = delete;
    LogTestFolder& operator=(const LogTestFolder&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    // $XDG_STATE_HOME while the folder lives; made only when the log needs it.
    std::filesystem::path StateHome() const { return m_root / "state"; }
    // Writes the store's key with the values given (a missing one is left out).
    void WriteStore(const std::optional<std::string>& filePath,
                    const std::optional<std::string>& logPath) const;
    void WriteStoreText(const std::string& text) const;

    static std::string Read(const std::filesystem::path& file);
    static void Write(const std::filesystem::path& file, const std::string& bytes);

private:
    std::filesystem::path m_root;
    std::string m_savedLocale;
    std::optional<std::string> m_savedStateHome;
};
