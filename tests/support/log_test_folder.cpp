#include "tests/support/log_test_folder.h"

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

LogTestFolder::LogTestFolder() {
    std::string pattern = (fs::temp_directory_path() / "kvzip-log-XXXXXX").string();
    m_root = ::mkdtemp(pattern.data());
    ::setenv("KVZIP_REGISTRY", (m_root / "registry.ini").c_str(), 1);
    // The log's last resort stays inside the test's folder too.
    if (const char* state = std::getenv("XDG_STATE_HOME"))
        m_savedStateHome = state;
    ::setenv("XDG_STATE_HOME", StateHome().c_str(), 1);
    m_savedLocale = std::setlocale(LC_CTYPE, nullptr);
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
        std::setlocale(LC_CTYPE, "C.utf8");
}

LogTestFolder::~LogTestFolder() {
    std::setlocale(LC_CTYPE, m_savedLocale.c_str());
    ::unsetenv("KVZIP_REGISTRY");
    if (m_savedStateHome)
        ::setenv("XDG_STATE_HOME", m_savedStateHome->c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void LogTestFolder::WriteStore(const std::optional<std::string>& filePath,
                               const std::optional<std::string>& logPath) const {
    std::string text = "[HKEY_CLASSES_ROOT\\KVZIP]\n";
    if (filePath)
        text += "FilePath=" + *filePath + "\n";
    if (logPath)
        text += "LogPath=" + *logPath + "\n";
    WriteStoreText(text);
}

void LogTestFolder::WriteStoreText(const std::string& text) const {
    Write(m_root / "registry.ini", text);
}

std::string LogTestFolder::Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void LogTestFolder::Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}
