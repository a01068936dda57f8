// The advanced scan: local offsets, central offsets, the merge and re-read.
#include "tests/engine/engine_fixture.h"

namespace kvtest {
namespace {

class AdvancedScan : public EngineTest {};

std::vector<std::uint32_t> Offsets(const CZipArchive& archive) {
    std::vector<std::uint32_t> offsets;
    for (const CFileHeader& h : FetchAll(archive))
        offsets.push_back(h.localHeaderOffset);
    return offsets;
}

TEST_F(AdvancedScan, CentralOffsetEqualToALocalFindGivesOneEntry) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "11"});
    zip.Add({.name = "b", .content = "22", .method = 8});
    zip.AddCentralDirectory();
    CZipArchive& archive = Open(zip.Bytes(), 1);
    EXPECT_EQ(Offsets(archive), (std::vector<std::uint32_t>{0, zip.Entry(1).headerOffset}));
    EXPECT_EQ(g_entryCount, 2);
    EXPECT_TRUE(g_scanState.localOffsets.empty());
    EXPECT_TRUE(g_scanState.centralOffsets.empty());
}

TEST_F(AdvancedScan, CentralOffsetFindsAnEntryTheLocalPassSteppedOver) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "xx", .compressedSize = 34});
    zip.Add({.name = "b", .content = "yy"});
    zip.Add({.name = "c", .content = std::string(30, 'z')});
    zip.AddCentralDirectory();
    CZipArchive& archive = Open(zip.Bytes(), 1);
    // Local finds first in file order, then the central-only offset.
    EXPECT_EQ(Offsets(archive), (std::vector<std::uint32_t>{0, zip.Entry(2).headerOffset,
                                                            zip.Entry(1).headerOffset}));
    const std::vector<CFileHeader> entries = FetchAll(archive);
    EXPECT_EQ(entries[2].name, L"b");
    EXPECT_EQ(entries[2].storedCrc, Crc32("yy"));
}

TEST_F(AdvancedScan, CentralOnlyOffsetIsReadWithoutItsSignature) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    const std::uint32_t garbled = zip.Size();
    zip.Add({.name = "bb", .content = "22"});
    zip.AddCentralDirectory();
    std::string bytes = zip.Bytes();
    FlipByte(bytes, garbled + 2);
    CZipArchive& archive = Open(bytes, 1);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].localHeaderOffset, garbled);
    EXPECT_EQ(entries[1].name, L"bb");
    EXPECT_EQ(entries[1].signature[2], static_cast<unsigned char>(0x03 ^ 0xFF));
}

TEST_F(AdvancedScan, OffsetPastTheEndGivesAnAllZeroEntry) {
    // Counted, never built from stale memory.
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    zip.AddCentral({.name = "ghost", .localHeaderOffset = 0x7FFFFFFF});
    zip.AddCentral({.name = "a", .localHeaderOffset = 0});
    zip.AddRaw(std::string(10, '\0'));
    CZipArchive& archive = Open(zip.Bytes(), 1);
    EXPECT_EQ(g_entryCount, 2);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 2u);
    const CFileHeader& ghost = entries[1];
    EXPECT_TRUE(ghost.name.empty());
    EXPECT_EQ(ghost.method, 0);
    EXPECT_EQ(ghost.flags, 0);
    EXPECT_EQ(ghost.storedCrc, 0u);
    EXPECT_EQ(ghost.compressedSize, 0u);
    EXPECT_EQ(ghost.uncompressedSize, 0u);
    EXPECT_EQ(ghost.localHeaderOffset, 0u);
    EXPECT_EQ(ghost.externalAttributes, 0u);
    EXPECT_EQ(ghost.modDate, 0);
    TempDir out;
    EXPECT_TRUE(archive.ExtractEntryTo(1, Wide(out.Path()), 65535));
    EXPECT_TRUE(std::filesystem::is_empty(out.Path()));
}

TEST_F(AdvancedScan, OffsetWithFewerThanThirtyBytesLeftIsNotAnEntry) {
    // No exception; every other entry is kept.
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    zip.Add({.name = "b", .content = "2"});
    zip.AddCentralDirectory();
    const std::uint32_t size = zip.Size();
    zip.AddCentral({.name = "tail", .localHeaderOffset = size + 46 + 4 + 60});
    zip.AddRaw(std::string(60, '\0') + "PK\x03\x04" + std::string(10, '\0'));
    CZipArchive& archive = Open(zip.Bytes(), 1);
    EXPECT_EQ(Offsets(archive), (std::vector<std::uint32_t>{0, zip.Entry(1).headerOffset}));
    EXPECT_EQ(g_entryCount, 2);
}

TEST_F(AdvancedScan, StaleOffsetListsFromAStoppedScanAreIgnored) {
    // Lists a stopped scan left behind are emptied when the next one starts.
    g_scanState.localOffsets = {3};
    g_scanState.centralOffsets = {5};
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    CZipArchive& archive = Open(zip.Bytes(), 1);
    EXPECT_EQ(Offsets(archive), std::vector<std::uint32_t>{0});
}

TEST_F(AdvancedScan, CentralNameLengthHasNoLimitInTheStep) {
    // A 600-byte central name is stepped over whole, so a central header
    // hidden inside it is not read.
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    const std::string inner = CentralHeaderBytes({.name = "x", .localHeaderOffset = 1234});
    std::string name = std::string(10, 'n') + inner;
    name.resize(600, 'n');
    zip.AddCentral({.name = name, .localHeaderOffset = 0});
    zip.AddRaw(std::string(10, '\0'));
    CZipArchive& archive = Open(zip.Bytes(), 1);
    EXPECT_EQ(Offsets(archive), std::vector<std::uint32_t>{0});
}

TEST_F(AdvancedScan, NamesAreNotTakenFromTheDirectory) {
    ZipWriter zip;
    zip.Add({.name = "local", .content = "1"});
    zip.AddCentral({.name = "centr", .localHeaderOffset = 0, .compressedSize = 1});
    zip.AddRaw(std::string(10, '\0'));
    CZipArchive& archive = Open(zip.Bytes(), 1);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, L"local");
}

} // namespace
} // namespace kvtest
