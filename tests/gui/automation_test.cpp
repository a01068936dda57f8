#include "app/automation.h"
#include "platform/ini_document.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string U8(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // the sections are ASCII
}

} // namespace

TEST(Automation, RegistrationKeepsTheStoreAndUnregistrationRemovesOnlyItsEntries) {
    QTemporaryDir dir;
    const std::filesystem::path store = dir.filePath(QStringLiteral("registry.ini")).toStdString();
    const std::string original = "; written by the installer\n[HKEY_CLASSES_ROOT\\KVZIP]\n"
                                 "FilePath=/opt/kelvane\nLogPath=/var/log/kelvane\n";
    Write(store, original);

    ASSERT_TRUE(automation::RegisterServer(store, "/opt/kelvane/bin/kelvane-zip"));
    ASSERT_TRUE(automation::RegisterServer(store, "/opt/kelvane/bin/kelvane-zip")); // again
    auto document = platform::IniDocument::Parse(Read(store));
    EXPECT_EQ(document.Get("HKEY_CLASSES_ROOT\\KVZIP", "FilePath"), "/opt/kelvane");
    EXPECT_EQ(document.Get(U8(automation::ProgIdSection()), "CLSID"),
              "{59A2AEF0-7455-4939-82DA-E9A1DCC64565}");
    EXPECT_EQ(document.Get(U8(automation::ClassSection()), "ProgID"), "Velmor.Application");
    EXPECT_EQ(document.Get(U8(automation::ClassSection()), "LocalServer32"),
              "/opt/kelvane/bin/kelvane-zip");
    EXPECT_EQ(document.Get(U8(automation::InterfaceSection()), "Name"), "IVelmor");
    EXPECT_EQ(U8(automation::TypeLibSection()),
              "HKEY_CLASSES_ROOT\\TypeLib\\{4FEA7851-30C9-4BA1-B1B0-058668391B3B}\\1.0");
    EXPECT_EQ(document.Get(U8(automation::TypeLibSection()), "Name"), "Velmor");
    EXPECT_EQ(Read(store).find("[HKEY_CLASSES_ROOT\\Velmor.Application]"),
              Read(store).rfind("[HKEY_CLASSES_ROOT\\Velmor.Application]"));

    ASSERT_TRUE(automation::UnregisterServer(store));
    EXPECT_EQ(Read(store), original + "\n");
}

TEST(Automation, AStoreThatCannotBeWrittenIsLeftAlone) {
    QTemporaryDir dir;
    // A first registration makes the store's folder; one below a file
    // cannot be made, and nothing is.
    const std::filesystem::path file = dir.filePath(QStringLiteral("a-file")).toStdString();
    Write(file, "not a folder");
    const std::filesystem::path belowAFile = file / "registry.ini";
    EXPECT_FALSE(automation::RegisterServer(belowAFile, "/bin/true"));
    EXPECT_FALSE(automation::RegisterServer({}, "/bin/true"));
    EXPECT_EQ(Read(file), "not a folder");
    const std::filesystem::path missingFolder =
        dir.filePath(QStringLiteral("no/such/registry.ini")).toStdString();
    EXPECT_TRUE(automation::RegisterServer(missingFolder, "/bin/true"));
    EXPECT_TRUE(std::filesystem::exists(missingFolder));
}

TEST(Automation, AStoreThatIsALinkStaysALink) {
    QTemporaryDir dir;
    const std::filesystem::path target = dir.filePath(QStringLiteral("real.ini")).toStdString();
    const std::filesystem::path link = dir.filePath(QStringLiteral("registry.ini")).toStdString();
    Write(target, "[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=/opt/kelvane\n");
    std::filesystem::create_symlink(target, link);
    ASSERT_TRUE(automation::RegisterServer(link, "/bin/kelvane-zip"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(Read(target).find("Velmor.Application"), std::string::npos);
}
