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
    EXPECT_EQ(archive.GetEntryCount(), 2u);
}

TEST_F(AdvancedScan, CentralOffsetFindsAnEntryTheLocalPassCouldNotSee) {
    // b's signature is damaged: its entry is read from its central record.
    ZipWriter zip;
    zip.Add({.name = "a", .content = "xx"});
    zip.Add({.name = "b", .content = "yy"});
    zip.Add({.name = "c", .content = std::string(30, 'z')});
    zip.AddCentralDirectory();
    std::string bytes = zip.Bytes();
    Overwrite(bytes, zip.Entry(1).headerOffset, "PK\x03\x05");
    CZipArchive& archive = Open(bytes, 1);
    // Local finds first in file order, then what only the directory knew.
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

TEST_F(AdvancedScan, OffsetWithNoDataLeftIsListedAndReportedNotSaved) {
    // Past the end, or fewer than 30 bytes before it: no exception, every
    // other entry is kept, and the entry the directory lists is reported.
    for (const int past : {0x7FFFFF00, 60}) {
        SCOPED_TRACE(past);
        ZipWriter zip;
        zip.Add({.name = "a", .content = "1"});
        zip.Add({.name = "b", .content = "2"});
        zip.AddCentralDirectory();
        zip.AddCentral({.name = "tail",
                        .localHeaderOffset = zip.Size() + 46u + 4 + static_cast<unsigned>(past),
                        .compressedSize = 5,
                        .uncompressedSize = 5,
                        .crc = 1});
        zip.AddRaw(std::string(60, '\0') + "PK\x03\x04" + std::string(10, '\0'));
        g_repairMode = 0;
        CZipArchive& archive = Open(zip.Bytes(), 1);
        ASSERT_EQ(archive.GetEntryCount(), 3u);
        EXPECT_EQ(FetchAll(archive)[2].name, L"tail");
        TempDir out;
        ExtractReport report;
        EXPECT_FALSE(archive.ExtractEntryTo(2, Wide(out.Path()), 65535, &report));
        EXPECT_EQ(VerdictText(report),
                  "not saved: the directory lists it but its data could not be read");
        EXPECT_TRUE(std::filesystem::is_empty(out.Path()));
        archive.CloseArchive(true);
    }
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
    zip.AddEndRecord(1, 0, 0);
    CZipArchive& archive = Open(zip.Bytes(), 1);
    EXPECT_EQ(Offsets(archive), std::vector<std::uint32_t>{0});
}

TEST_F(AdvancedScan, NamesAreTakenFromTheDirectoryAsInTheQuickScan) {
    ZipWriter zip;
    zip.Add({.name = "local", .content = "1"});
    zip.AddCentral({.name = "centr", .localHeaderOffset = 0, .compressedSize = 1});
    zip.AddRaw(std::string(10, '\0'));
    CZipArchive& archive = Open(zip.Bytes(), 1);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, L"centr");
}

} // namespace
} // namespace kvtest
