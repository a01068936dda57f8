// Entries whose sizes follow their data: each takes its own descriptor, and
// one whose descriptor is lost runs open-ended.
#include "engine/zip_exception.h"
#include "tests/engine/engine_fixture.h"

namespace kvtest {
namespace {

struct StreamCase {
    const char* what;
    int mode;
    std::uint16_t method;
};
class OwnDescriptor : public EngineTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(OwnDescriptor, BitThreeEntryTakesItsOwnDescriptor) {
    // Each entry gets its own CRC and sizes, not those of
    // the descriptor that precedes its header.
    ZipWriter zip;
    std::vector<std::string> contents;
    for (int i = 0; i < 5; ++i) {
        contents.push_back(NoiseBytes(100 + 37 * i, i) + std::string(50 * i, 'q'));
        zip.Add({.name = "file" + std::to_string(i) + ".bin",
                 .content = contents.back(),
                 .method = GetParam().method,
                 .descriptor = DescriptorForm::withSignature});
    }
    zip.AddCentralDirectory();
    CZipArchive& archive = Open(zip.Bytes(), GetParam().mode);
    EXPECT_TRUE(archive.DescriptorSeen());
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 5u);
    TempDir out;
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].storedCrc, zip.Entry(i).crc);
        EXPECT_EQ(entries[i].compressedSize, zip.Entry(i).dataSize);
        EXPECT_EQ(entries[i].uncompressedSize, zip.Entry(i).uncompressedSize);
        EXPECT_FALSE(entries[i].openEnded);
        ExtractReport report;
        EXPECT_TRUE(archive.ExtractEntryTo(i, Wide(out.Path()), 65535, &report));
        EXPECT_EQ(report.outcome, ExtractReport::written);
        EXPECT_TRUE(SameBytes(ReadFileBytes(out / zip.Entry(i).name), contents[i]));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, OwnDescriptor,
                         ::testing::Values(StreamCase{"QuickStored", 0, 0},
                                           StreamCase{"QuickDeflated", 0, 8},
                                           StreamCase{"AdvancedStored", 1, 0},
                                           StreamCase{"AdvancedDeflated", 1, 8}),
                         [](const auto& test) { return std::string(test.param.what); });

class Descriptors : public EngineTest {};

TEST_F(Descriptors, DescriptorSignatureInsideDataWithWrongDistanceIsPassedOver) {
    // The stored data holds a descriptor whose size field does not fit the
    // distance: only the real one, after the data, belongs to the entry.
    const std::string content = "abc" + DescriptorBytes(1, 2, 3, true) + "def";
    ZipWriter zip;
    zip.Add({.name = "tricky", .content = content, .descriptor = DescriptorForm::withSignature});
    zip.Add({.name = "next", .content = "n"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].compressedSize, content.size());
    EXPECT_EQ(entries[0].storedCrc, Crc32(content));
    EXPECT_EQ(entries[1].name, L"next");
}

TEST_F(Descriptors, UnsignedDescriptorIsCheckedAfterTheData) {
    ZipWriter zip;
    zip.Add({.name = "a.txt",
             .content = "alpha",
             .descriptor = DescriptorForm::withoutSignature,
             .keepHeaderSizes = true});
    zip.Add({.name = "b.txt", .content = "beta"});
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_FALSE(archive.DescriptorSeen());
    TempDir out;
    EXPECT_TRUE(archive.ExtractEntryTo(0, Wide(out.Path()), 65535));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "a.txt"), "alpha"));
}

TEST_F(Descriptors, ADisagreeingDescriptorIsJudgedByTheCrcOfTheData) {
    // The descriptor after the data is checked once it was written: one that
    // disagrees spoils nothing: the CRC-32 of the data against its
    // header's tells whether the entry is sound. The next entry still
    // extracts.
    for (const bool dataFlipped : {false, true}) {
        ZipWriter zip;
        zip.Add({.name = "a.txt",
                 .content = "alpha",
                 .descriptor = DescriptorForm::withoutSignature,
                 .keepHeaderSizes = true});
        zip.Add({.name = "b.txt", .content = "beta", .method = 8});
        std::string bytes = zip.Bytes();
        FlipByte(bytes, zip.Entry(0).descriptorOffset); // its CRC
        if (dataFlipped)
            FlipByte(bytes, zip.Entry(0).dataOffset, 0x20);
        CZipArchive& archive = Open(bytes);
        TempDir out;
        ExtractReport report;
        EXPECT_TRUE(archive.ExtractEntryTo(0, Wide(out.Path()), 65535, &report));
        EXPECT_EQ(report.verdict, dataFlipped ? Verdict::damaged : Verdict::verified);
        EXPECT_TRUE(SameBytes(ReadFileBytes(out / "a.txt"), dataFlipped ? "Alpha" : "alpha"));
        EXPECT_EQ(archive.m_readState, CZipArchive::readNone);
        EXPECT_FALSE(archive.m_storage.m_truncated);
        EXPECT_EQ(archive.m_decodeError, 0);
        EXPECT_TRUE(archive.ExtractEntryTo(1, Wide(out.Path()), 65535, &report));
        EXPECT_EQ(report.verdict, Verdict::verified);
        EXPECT_TRUE(SameBytes(ReadFileBytes(out / "b.txt"), "beta"));
        archive.CloseArchive(true);
    }
}

TEST_F(Descriptors, LookBackSeenTurnsTheCheckOff) {
    // A signed descriptor before the second header is seen by the look-back,
    // after which a lying unsigned descriptor goes unchecked.
    ZipWriter zip;
    zip.Add({.name = "a.txt",
             .content = "alpha",
             .descriptor = DescriptorForm::withoutSignature,
             .keepHeaderSizes = true});
    zip.Add({.name = "b.txt", .content = "beta", .descriptor = DescriptorForm::withSignature});
    zip.Add({.name = "c.txt", .content = "gamma"});
    std::string bytes = zip.Bytes();
    FlipByte(bytes, zip.Entry(0).descriptorOffset);
    CZipArchive& archive = Open(bytes);
    EXPECT_TRUE(archive.DescriptorSeen());
    TempDir out;
    EXPECT_TRUE(archive.ExtractEntryTo(0, Wide(out.Path()), 65535));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "a.txt"), "alpha"));
}

struct CutCase {
    const char* what;
    std::uint16_t method;
    bool followedByEntry;
};
class OpenEnded : public EngineTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(OpenEnded, CutBitThreeEntryKeepsItsDataAsAPartialFile) {
    // The descriptor is gone, the header holds no sizes.
    const std::string content = NoiseBytes(5000, 3) + std::string(20000, 'r');
    ZipWriter zip;
    zip.Add({.name = "first.txt", .content = "first"});
    zip.Add({.name = "stream.bin",
             .content = content,
             .method = GetParam().method,
             .modDate = 0x5000,
             .descriptor = DescriptorForm::withSignature});
    std::string bytes = zip.Bytes();
    const WrittenEntry& streamed = zip.Entry(1);
    std::size_t cutAt = streamed.dataOffset + streamed.dataSize; // just the descriptor lost
    if (GetParam().followedByEntry) {
        Truncate(bytes, cutAt);
        ZipWriter tail;
        tail.Add({.name = "after.txt", .content = "after"});
        bytes += tail.Bytes();
    } else {
        Truncate(bytes, cutAt);
    }
    CZipArchive& archive = Open(bytes);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), GetParam().followedByEntry ? 3u : 2u);
    // It lists with the values of its header.
    EXPECT_TRUE(entries[1].openEnded);
    EXPECT_EQ(entries[1].compressedSize, 0u);
    EXPECT_EQ(entries[1].uncompressedSize, 0u);
    EXPECT_EQ(entries[1].storedCrc, 0u);
    EXPECT_EQ(entries[1].modDate, 0x5000);

    TempDir out;
    ExtractReport report;
    EXPECT_TRUE(archive.ExtractEntryTo(1, Wide(out.Path()), 65535, &report));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "stream.bin"), content));
    EXPECT_EQ(report.bytesWritten, content.size());
    // Nothing proves it whole, so it does not get the entry's time.
    EXPECT_EQ(report.outcome, ExtractReport::partial);
    if (GetParam().followedByEntry) {
        EXPECT_TRUE(archive.ExtractEntryTo(2, Wide(out.Path()), 65535));
        EXPECT_TRUE(SameBytes(ReadFileBytes(out / "after.txt"), "after"));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, OpenEnded,
                         ::testing::Values(CutCase{"StoredAtEnd", 0, false},
                                           CutCase{"DeflatedAtEnd", 8, false},
                                           CutCase{"StoredBeforeHeader", 0, true},
                                           CutCase{"DeflatedBeforeHeader", 8, true}),
                         [](const auto& test) { return std::string(test.param.what); });

struct SizesCase {
    const char* what;
    std::uint16_t method;
    DescriptorForm form;
    bool directory;
};
class SizesAfterTheData : public EngineTest, public ::testing::WithParamInterface<SizesCase> {};

TEST_P(SizesAfterTheData, BitThreeEntryEndsCleanlyWithItsSizes) {
    // The header holds no sizes. The directory's record gives them; without
    // it, the descriptor lying just before the next header does, signed or
    // not, so a stored entry does not get the descriptor's bytes appended.
    const std::string content = NoiseBytes(3000, 12) + std::string(3000, 'u');
    ZipWriter zip;
    zip.Add({.name = "u.bin",
             .content = content,
             .method = GetParam().method,
             .modTime = 0x7000,
             .modDate = 0x5000,
             .descriptor = GetParam().form});
    zip.Add({.name = "empty", .content = "", .descriptor = GetParam().form});
    zip.Add({.name = "next.txt", .content = "next"});
    if (GetParam().directory)
        zip.AddCentralDirectory();
    CZipArchive& archive = Open(zip.Bytes());
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(entries[i].openEnded);
        EXPECT_EQ(entries[i].storedCrc, zip.Entry(i).crc);
        EXPECT_EQ(entries[i].compressedSize, zip.Entry(i).dataSize);
        EXPECT_EQ(entries[i].uncompressedSize, zip.Entry(i).uncompressedSize);
    }
    TempDir out;
    for (std::size_t i = 0; i < 3; ++i) {
        ExtractReport report;
        EXPECT_TRUE(archive.ExtractEntryTo(i, Wide(out.Path()), 65535, &report));
        EXPECT_EQ(report.outcome, ExtractReport::written) << i;
    }
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "u.bin"), content));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "empty"), ""));
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "next.txt"), "next"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SizesAfterTheData,
    ::testing::Values(
        SizesCase{"StoredUnsigned", 0, DescriptorForm::withoutSignature, false},
        SizesCase{"DeflatedUnsigned", 8, DescriptorForm::withoutSignature, false},
        SizesCase{"StoredSigned", 0, DescriptorForm::withSignature, false},
        SizesCase{"StoredUnsignedWithDirectory", 0, DescriptorForm::withoutSignature, true},
        SizesCase{"DeflatedUnsignedWithDirectory", 8, DescriptorForm::withoutSignature, true}),
    [](const auto& test) { return std::string(test.param.what); });

TEST_F(Descriptors, DirectoryRecordOfAnotherNameOrOffsetGivesNothing) {
    // The last entry's descriptor is lost; the directory names another file
    // at its offset, so it stays open-ended rather than taking those sizes.
    const std::string content = NoiseBytes(500, 4);
    ZipWriter zip;
    zip.Add({.name = "s.bin", .content = content, .descriptor = DescriptorForm::withoutSignature});
    std::string bytes = zip.Bytes();
    Truncate(bytes, zip.Entry(0).dataOffset + content.size());
    bytes += CentralHeaderBytes({.name = "other.bin",
                                 .localHeaderOffset = 0,
                                 .compressedSize = 5,
                                 .uncompressedSize = 5,
                                 .crc = 1});
    CZipArchive& archive = Open(bytes);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].openEnded);
    TempDir out;
    ExtractReport report;
    EXPECT_TRUE(archive.ExtractEntryTo(0, Wide(out.Path()), 65535, &report));
    EXPECT_EQ(report.outcome, ExtractReport::partial);
    // It runs to the central header, not into it.
    EXPECT_TRUE(SameBytes(ReadFileBytes(out / "s.bin"), content));
}

TEST_F(Descriptors, OpenEndedDeflateCutMidStreamKeepsWhatInflated) {
    const std::string content = NoiseBytes(40000, 9);
    ZipWriter zip;
    zip.Add({.name = "s.bin",
             .content = content,
             .method = 8,
             .descriptor = DescriptorForm::withSignature});
    std::string bytes = zip.Bytes();
    Truncate(bytes, zip.Entry(0).dataOffset + zip.Entry(0).dataSize / 2);
    CZipArchive& archive = Open(bytes);
    TempDir out;
    ExtractReport report;
    EXPECT_TRUE(archive.ExtractEntryTo(0, Wide(out.Path()), 65535, &report));
    EXPECT_EQ(report.outcome, ExtractReport::partial);
    const std::optional<std::string> written = ReadFileBytes(out / "s.bin");
    ASSERT_TRUE(written);
    EXPECT_GT(written->size(), 10000u);
    EXPECT_LT(written->size(), content.size());
    EXPECT_TRUE(SameBytes(written, content.substr(0, written->size())));
}

} // namespace
} // namespace kvtest
