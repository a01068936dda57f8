#include "platform/ini_document.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::IniDocument;
using platform::RegistryKey;
using platform::RegistryLocations;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "kvzip-reg-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(m_path); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(IniDocument, ReadsValuesOfTheirOwnSectionOnly) {
    const auto doc = IniDocument::Parse("; installer output\r\n"
                                        "FilePath=/outside\r\n"
                                        "[HKEY_CLASSES_ROOT\\KVZIP]\r\n"
                                        "  FilePath = /opt/kelvane zip  \r\n"
                                        "LogPath=\"/var/log/kv \"\r\n"
                                        "# comment=ignored\r\n"
                                        "[Other]\r\n"
                                        "LogPath=/elsewhere\r\n");
    EXPECT_EQ(doc.Get("HKEY_CLASSES_ROOT\\KVZIP", "FilePath"), "/opt/kelvane zip");
    EXPECT_EQ(doc.Get("HKEY_CLASSES_ROOT\\KVZIP", "LogPath"), "/var/log/kv ");
    EXPECT_EQ(doc.Get("Other", "LogPath"), "/elsewhere");
    EXPECT_EQ(doc.Get("", "FilePath"), "/outside");
    EXPECT_FALSE(doc.Get("HKEY_CLASSES_ROOT\\KVZIP", "# comment"));
    EXPECT_FALSE(doc.Get("HKEY_CLASSES_ROOT\\KVZIP", "Missing"));
}

TEST(IniDocument, NamesIgnoreCaseAndTheLastAssignmentWins) {
    const auto doc = IniDocument::Parse("\xEF\xBB\xBF[hkey_classes_root\\kvzip]\n"
                                        "filepath=/first\n"
                                        "FILEPATH=/second\n"
                                        "Empty=\n");
    EXPECT_TRUE(doc.HasSection("HKEY_CLASSES_ROOT\\KVZIP"));
    EXPECT_EQ(doc.Get("HKEY_CLASSES_ROOT\\KVZIP", "FilePath"), "/second");
    EXPECT_EQ(doc.Get("HKEY_CLASSES_ROOT\\KVZIP", "Empty"), "");
    EXPECT_FALSE(doc.HasSection("HKEY_CLASSES_ROOT\\KVZIP2"));
}

TEST(RegistryLocations, CandidatesComeInLookUpOrder) {
    RegistryLocations where;
    where.xdgConfigHome = "/xdg";
    where.home = "/home/u";
    where.executableFolder = "/build/bin";
    where.installPrefix = "/usr/local";
    const std::vector<fs::path> expected = {"/xdg/kelvane-zip/registry.ini",
                                            "/build/bin/registry.ini",
                                            "/usr/local/etc/kelvane-zip/registry.ini"};
    EXPECT_EQ(platform::RegistryCandidates(where), expected);

    // Without a usable $XDG_CONFIG_HOME the default below $HOME stands in.
    for (const char* xdg : {"", "relative/path"}) {
        where.xdgConfigHome = xdg;
        EXPECT_EQ(platform::RegistryCandidates(where).front(),
                  fs::path("/home/u/.config/kelvane-zip/registry.ini"));
    }

    // The distribution's /usr keeps its configuration in /etc.
    where.installPrefix = "/usr";
    EXPECT_EQ(platform::RegistryCandidates(where).back(),
              fs::path("/etc/kelvane-zip/registry.ini"));

    where.override = "/tests/registry.ini";
    EXPECT_EQ(platform::RegistryCandidates(where), std::vector<fs::path>{"/tests/registry.ini"});
}

TEST(RegistryLocations, TheFirstExistingFileIsUsed) {
    TempFolder dir;
    RegistryLocations where;
    where.xdgConfigHome = (dir.Path() / "xdg").string();
    where.executableFolder = dir.Path() / "bin";
    where.installPrefix = dir.Path() / "prefix";
    EXPECT_EQ(platform::FindRegistryFile(where), fs::path());

    WriteFile(dir.Path() / "prefix/etc/kelvane-zip/registry.ini", "");
    EXPECT_EQ(platform::FindRegistryFile(where),
              dir.Path() / "prefix/etc/kelvane-zip/registry.ini");
    WriteFile(dir.Path() / "bin/registry.ini", "");
    EXPECT_EQ(platform::FindRegistryFile(where), dir.Path() / "bin/registry.ini");
    WriteFile(dir.Path() / "xdg/kelvane-zip/registry.ini", "");
    EXPECT_EQ(platform::FindRegistryFile(where), dir.Path() / "xdg/kelvane-zip/registry.ini");

    // An explicit store that does not exist means no store, not a fallback.
    where.override = (dir.Path() / "missing.ini").string();
    EXPECT_EQ(platform::FindRegistryFile(where), fs::path());
}

TEST(RegistryLocations, EnvironmentAndExecutableAreRead) {
    TempFolder dir;
    ::setenv("KVZIP_REGISTRY", (dir.Path() / "r.ini").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", "/somewhere", 1);
    const auto where = RegistryLocations::FromEnvironment();
    ::unsetenv("KVZIP_REGISTRY");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(where.override, (dir.Path() / "r.ini").string());
    EXPECT_EQ(where.xdgConfigHome, "/somewhere");
    EXPECT_EQ(where.executableFolder, fs::read_symlink("/proc/self/exe").parent_path());
    // The tests run from the build's bin folder, whose parent is their prefix.
    EXPECT_EQ(where.installPrefix, where.executableFolder.parent_path());
}

// The program's own writes go to the user's store; a user's store that
// holds only them does not hide the keys of the system's store.
TEST(RegistryLocations, TheUsersStoreTakesTheWritesAndHidesNoOtherKey) {
    TempFolder dir;
    RegistryLocations where;
    where.xdgConfigHome = (dir.Path() / "xdg").string();
    where.installPrefix = "/usr";
    EXPECT_EQ(platform::UserRegistryFile(where), dir.Path() / "xdg/kelvane-zip/registry.ini");
    where.override = (dir.Path() / "r.ini").string();
    EXPECT_EQ(platform::UserRegistryFile(where), dir.Path() / "r.ini");

    WriteFile(dir.Path() / "xdg/kelvane-zip/registry.ini",
              "[HKEY_CLASSES_ROOT\\Velmor.Application]\nCLSID=x\n");
    ::setenv("XDG_CONFIG_HOME", (dir.Path() / "xdg").c_str(), 1);
    const auto key = RegistryKey::OpenClassesRoot(L"KVZIP");
    const auto registration = RegistryKey::OpenClassesRoot(L"Velmor.Application");
    ::unsetenv("XDG_CONFIG_HOME");
    // The build writes a store with the key beside the test programs.
    ASSERT_TRUE(key);
    EXPECT_NE(key->StorePath(), dir.Path() / "xdg/kelvane-zip/registry.ini");
    ASSERT_TRUE(registration);
    EXPECT_EQ(registration->StorePath(), dir.Path() / "xdg/kelvane-zip/registry.ini");
}

TEST(RegistryKey, OpensOnlyAnExistingKeyAndReadsUntilClosed) {
    TempFolder dir;
    const fs::path store = dir.Path() / "registry.ini";
    WriteFile(store, "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=/opt/k\xC3\xA9lvane\n");

    EXPECT_FALSE(RegistryKey::OpenClassesRoot(dir.Path() / "none.ini", L"KVZIP"));
    EXPECT_FALSE(RegistryKey::OpenClassesRoot(store, L"OTHER"));

    auto key = RegistryKey::OpenClassesRoot(store, L"kvzip");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryString(L"FilePath"), L"/opt/k\u00E9lvane");
    EXPECT_FALSE(key->QueryString(L"LogPath"));
    EXPECT_EQ(key->StorePath(), store);
    key->Close();
    EXPECT_FALSE(key->IsOpen());
    EXPECT_FALSE(key->QueryString(L"FilePath"));
}

TEST(RegistryKey, TheBuildWritesAStoreBesideTheExecutables) {
    const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path();
    auto key = RegistryKey::OpenClassesRoot(folder / "registry.ini", L"KVZIP");
    ASSERT_TRUE(key);
    const auto data = key->QueryString(L"FilePath");
    ASSERT_TRUE(data);
    EXPECT_TRUE(fs::is_directory(*data)) << fs::path(*data);
}
