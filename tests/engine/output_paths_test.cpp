// Output paths: confinement below the destination, over-long parts, folders.
#include "engine/output_paths.h"
#include "tests/engine/engine_fixture.h"

namespace kvtest {
namespace {

struct PathCase {
    std::wstring name;
    std::optional<std::wstring> relative; // empty: refused
};
class RelativePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(RelativePath, StaysBelowTheDestination) {
    const std::optional<std::wstring> got = GetEntryRelativePath(GetParam().name);
    EXPECT_EQ(got, GetParam().relative);
}

const std::wstring kLong(256, L'x');
const std::wstring kLongest(255, L'x');
// 128 two-byte characters are 256 bytes on disk.
const std::wstring kLongBytes(128, L'\u00E9');

INSTANTIATE_TEST_SUITE_P(Table, RelativePath,
                         ::testing::Values(PathCase{L"a/b/c.txt", L"a/b/c.txt"},
                                           PathCase{L"C:/X/Y.TXT", L"X/Y.TXT"},
                                           PathCase{L"///abs/file", L"abs/file"},
                                           PathCase{L"../../evil.txt", L"evil.txt"},
                                           PathCase{L"a/../../b/./c", L"a/b/c"},
                                           PathCase{L"a//b", L"a/b"}, PathCase{L"dir/", L"dir/"},
                                           PathCase{L"..", L""}, PathCase{L"...", L"..."},
                                           PathCase{L"a..b", L"a..b"}, PathCase{kLongest, kLongest},
                                           PathCase{L"d/" + kLong, std::nullopt},
                                           PathCase{std::wstring(L"a\0b.txt", 7), L"a?b.txt"},
                                           PathCase{kLong + L"/f", std::nullopt}));

TEST(RelativePathBytes, ComponentLengthIsCountedInBytesOnDisk) {
    std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_FALSE(GetEntryRelativePath(kLongBytes).has_value());
    EXPECT_TRUE(GetEntryRelativePath(kLongBytes.substr(1)).has_value());
    std::setlocale(LC_ALL, "C");
}

TEST(FolderPart, KeepsTheTrailingSeparator) {
    EXPECT_EQ(GetFolderPart(L"/a/b/c.txt"), L"/a/b/");
    EXPECT_EQ(GetFolderPart(L"c.txt"), L"");
    EXPECT_EQ(GetFolderPart(L"/a/b/"), L"/a/b/");
}

TEST(PathKind, FolderFileOrNothing) {
    TempDir dir;
    WriteFileBytes(dir / "f", "x");
    EXPECT_EQ(GetPathKind(Wide(dir.Path())), PathKind::folder);
    EXPECT_EQ(GetPathKind(Wide(dir / "f")), PathKind::file);
    EXPECT_EQ(GetPathKind(Wide(dir / "none")), PathKind::nothing);
}

TEST(CreateFolders, MakesEveryMissingLevelAndFailsOnAFile) {
    TempDir dir;
    EXPECT_TRUE(CreateFolderPath(Wide(dir / "a/b/c") + L"//"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
    EXPECT_TRUE(CreateFolderPath(Wide(dir / "a/b")));
    WriteFileBytes(dir / "file", "x");
    EXPECT_FALSE(CreateFolderPath(Wide(dir / "file/sub")));
}

class Confinement : public EngineTest {};

TEST_F(Confinement, HostileNamesLandInsideTheDestination) {
    // Output never leaves the destination.
    ZipWriter zip;
    zip.Add({.name = "../../escape.txt", .content = "1"});
    zip.Add({.name = "/etc/abs.txt", .content = "2"});
    zip.Add({.name = "C:\\win\\drive.txt", .content = "3"});
    zip.Add({.name = "a/./../../b.txt", .content = "4"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::filesystem::path out = m_dir / "dest";
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i)
        EXPECT_TRUE(archive.ExtractEntryTo(i, Wide(out), 65535));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "escape.txt"), "1"));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "etc/abs.txt"), "2"));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "win/drive.txt"), "3"));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "a/b.txt"), "4"));
    std::size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(m_dir.Path()))
        files += item.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 5u); // the four outputs and the archive
}

TEST_F(Confinement, OverlongPartIsRefusedAndNothingWritten) {
    ZipWriter zip;
    zip.Add({.name = "d/" + std::string(256, 'y') + ".txt", .content = "1"});
    zip.Add({.name = "ok.txt", .content = "2"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::filesystem::path out = m_dir / "dest";
    ExtractReport report;
    EXPECT_FALSE(archive.ExtractEntryTo(0, Wide(out), 65535, &report));
    EXPECT_EQ(report.outcome, ExtractReport::refused);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_TRUE(archive.ExtractEntryTo(1, Wide(out), 65535));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "ok.txt"), "2"));
}

TEST_F(Confinement, NameOfOnlyDotsWritesNothingOutside) {
    ZipWriter zip;
    zip.Add({.name = "..", .content = "1"});
    zip.Add({.name = "../", .content = "2"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::filesystem::path out = m_dir / "dest";
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i)
        archive.ExtractEntryTo(i, Wide(out), 65535);
    std::size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(m_dir.Path()))
        files += item.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u); // only the archive
}

} // namespace
} // namespace kvtest
