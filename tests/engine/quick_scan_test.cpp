// The quick scan: local passes, the central pass and name pairing.
#include "engine/zip_exception.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <cctype>

namespace kvtest {
namespace {

class QuickScan : public EngineTest {};

std::vector<std::wstring> Names(const CZipArchive& archive) {
    std::vector<std::wstring> names;
    for (const CFileHeader& h : FetchAll(archive))
        names.push_back(h.name);
    return names;
}

TEST_F(QuickScan, EmptyFileHasNoEntries) {
    CZipArchive& archive = Open("");
    EXPECT_EQ(archive.GetEntryCount(), 0u);
}

TEST_F(QuickScan, IntactArchiveListsEveryEntryInFileOrder) {
    ZipWriter zip;
    zip.Add({.name = "one.txt", .content = "first", .modTime = 0x1111, .modDate = 0x2222});
    zip.Add({.name = "two.bin", .content = NoiseBytes(3000, 2), .method = 8});
    zip.Add({.name = "three/", .content = ""});
    zip.AddCentralDirectory();
    CZipArchive& archive = Open(zip.Bytes());
    ASSERT_EQ(archive.GetEntryCount(), 3u);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].localHeaderOffset, zip.Entry(i).headerOffset);
        EXPECT_EQ(entries[i].compressedSize, zip.Entry(i).dataSize);
        EXPECT_EQ(entries[i].uncompressedSize, zip.Entry(i).uncompressedSize);
        EXPECT_EQ(entries[i].storedCrc, zip.Entry(i).crc);
        EXPECT_EQ(entries[i].method, zip.Entry(i).method);
    }
    EXPECT_EQ(entries[0].modTime, 0x1111);
    EXPECT_EQ(entries[0].modDate, 0x2222);
    EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"one.txt", L"two.bin", L"three/"}));
    EXPECT_FALSE(archive.DescriptorSeen());
}

TEST_F(QuickScan, CentralPassStartsWhereTheLastLocalEntryEnds) {
    // Header 30 + name 5 + data 10 = 45: the central header there pairs.
    ZipWriter zip;
    zip.Add({.name = "local", .content = "0123456789"});
    zip.AddCentral({.name = "centr", .localHeaderOffset = 0, .compressedSize = 10});
    zip.AddRaw(std::string(10, '\0'));
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), std::vector<std::wstring>{L"centr"});
}

TEST_F(QuickScan, CentralHeaderInsideSteppedOverDataIsNotANote) {
    CentralSpec hidden{.name = "inner", .localHeaderOffset = 0};
    std::string data = std::string(4, 'x') + CentralHeaderBytes(hidden) + std::string(60, 'y');
    hidden.compressedSize = static_cast<std::uint32_t>(data.size());
    data = std::string(4, 'x') + CentralHeaderBytes(hidden) + std::string(60, 'y');
    ZipWriter zip;
    zip.Add({.name = "outer", .content = data});
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), std::vector<std::wstring>{L"outer"});
}

TEST_F(QuickScan, CentralNamesOfTheSameLengthReplaceLocalNames) {
    ZipWriter zip;
    zip.Add({.name = "garbled1", .content = "aa"});
    zip.Add({.name = "garbled2", .content = "bbb"});
    zip.AddCentral({.name = "good_one", .localHeaderOffset = 0, .compressedSize = 2});
    zip.AddCentral(
        {.name = "good_two", .localHeaderOffset = zip.Entry(1).headerOffset, .compressedSize = 3});
    zip.AddEndRecord(2, 0, 0);
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"good_one", L"good_two"}));
}

struct PairingCase {
    const char* what;
    CentralSpec note;
    std::vector<std::wstring> expected;
};
class NotePairing : public EngineTest, public ::testing::WithParamInterface<PairingCase> {};

TEST_P(NotePairing, NoteMustAgreeOnOffsetSizeAndLength) {
    ZipWriter zip;
    zip.AddRaw("lead");
    zip.Add({.name = "abcd", .content = "12345"});
    zip.AddCentral(GetParam().note);
    zip.AddRaw(std::string(20, '\0'));
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NotePairing,
    ::testing::Values(
        PairingCase{
            "agrees", {.name = "WXYZ", .localHeaderOffset = 4, .compressedSize = 5}, {L"WXYZ"}},
        // A record at an offset with no local header is an entry of its own.
        PairingCase{"offset",
                    {.name = "WXYZ", .localHeaderOffset = 5, .compressedSize = 5},
                    {L"abcd", L"WXYZ"}},
        PairingCase{
            "size", {.name = "WXYZ", .localHeaderOffset = 4, .compressedSize = 6}, {L"abcd"}},
        PairingCase{"length",
                    {.name = "WXYZ", .localHeaderOffset = 4, .compressedSize = 5, .nameLength = 3},
                    {L"abcd"}},
        // Case counts when names are compared; equal names change nothing.
        PairingCase{
            "case", {.name = "ABCD", .localHeaderOffset = 4, .compressedSize = 5}, {L"ABCD"}}),
    [](const auto& test) { return std::string(test.param.what); });

TEST_F(QuickScan, LostLocalHeaderShiftsNoPairingAndItsEntryComesFromTheDirectory) {
    ZipWriter zip;
    zip.Add({.name = "aaaa", .content = "1"});
    zip.Add({.name = "bbbb", .content = "2"});
    zip.Add({.name = "cccc", .content = "3"});
    zip.AddCentralDirectory();
    std::string bytes = zip.Bytes();
    // Rename in the directory, then lose the first local header.
    for (const char* from : {"aaaa", "bbbb", "cccc"}) {
        const std::size_t central = bytes.rfind(from);
        Overwrite(bytes, central, std::string(4, static_cast<char>(std::toupper(from[0]))));
    }
    FlipByte(bytes, 0);
    CZipArchive& archive = Open(bytes);
    // Notes pair by offset; the lost header's note is its entry, at the end.
    EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"BBBB", L"CCCC", L"AAAA"}));
    const std::vector<CFileHeader> entries = FetchAll(archive);
    EXPECT_TRUE(entries[2].fromDirectory);
    EXPECT_EQ(entries[2].localHeaderOffset, 0u);
    TempDir out;
    ExtractReport report;
    archive.ExtractEntryTo(2, Wide(out.Path()), 65535, &report);
    EXPECT_EQ(report.verdict, Verdict::verified);
    EXPECT_TRUE(SameBytes(ReadFileBytes(out.Path() / "AAAA"), "1"));
}

TEST_F(QuickScan, StepThatLandsOffARecordOrOverAListedHeaderIsNotTaken) {
    // a's size lands one byte before c's header; with its own size fixed to
    // land on c, the directory still lists b, which the step would jump.
    for (const std::uint32_t size : {34u, 35u}) {
        SCOPED_TRACE(size);
        ZipWriter zip;
        zip.Add({.name = "a", .content = "xx", .compressedSize = size});
        zip.Add({.name = "b", .content = "yy"});
        zip.Add({.name = "c", .content = std::string(30, 'z')});
        zip.AddCentralDirectory();
        g_repairMode = 0;
        CZipArchive& archive = Open(zip.Bytes());
        EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"a", L"b", L"c"}));
        archive.CloseArchive(true);
    }
}

TEST_F(QuickScan, DataLongerThanClaimedIsWalkedByteByByte) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "xxxxxxxxxx", .compressedSize = 3});
    zip.Add({.name = "b", .content = "yy"});
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST_F(QuickScan, StepOverDoesNotAddTheExtraFieldLength) {
    // The extra field is walked like data: a signature in it is an entry.
    const std::string inner = LocalHeaderBytes(20, 0, 0, 0, 0, 0, 0, 0, "in", 2, "", 0);
    ZipWriter zip;
    zip.Add({.name = "outer", .content = "", .extra = inner});
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"outer", L"in"}));
}

TEST_F(QuickScan, LongNameIsSteppedOverWithItsData) {
    // A name of any length is read whole, and the step goes past it and the
    // data its header claims.
    ZipWriter zip;
    zip.Add({.name = "a", .content = "12345"});
    const std::string longName = std::string(600, 'n');
    zip.Add({.name = longName, .content = "PK\x03\x04 inside stored data"});
    zip.Add({.name = "c", .content = "z"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].name, std::wstring(600, L'n'));
    EXPECT_EQ(entries[2].name, L"c");
}

TEST_F(QuickScan, LookBackOnlyNotesTheDescriptor) {
    // A descriptor before a header is noted, never copied.
    ZipWriter zip;
    zip.AddRaw(DescriptorBytes(0xAAAAAAAA, 77, 88, true));
    zip.Add({.name = "after", .content = "data"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(archive.DescriptorSeen());
    EXPECT_EQ(entries[0].storedCrc, Crc32("data"));
    EXPECT_EQ(entries[0].compressedSize, 4u);
    EXPECT_EQ(entries[0].uncompressedSize, 4u);
}

TEST_F(QuickScan, LookBackDoesNotChangeACentralNotesSize) {
    ZipWriter zip;
    zip.Add({.name = "abc", .content = "12345"});
    zip.AddRaw(DescriptorBytes(1, 99, 99, true));
    zip.AddCentral({.name = "XYZ", .localHeaderOffset = 0, .compressedSize = 5});
    zip.AddRaw(std::string(8, '\0'));
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), std::vector<std::wstring>{L"XYZ"});
    EXPECT_TRUE(archive.DescriptorSeen());
}

TEST_F(QuickScan, HeaderCloserThanSixteenBytesMakesNoLookBack) {
    std::string lead = DescriptorBytes(0, 0, 0, true).substr(0, 10);
    ZipWriter zip;
    zip.AddRaw(lead);
    zip.Add({.name = "a", .content = "1"});
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_FALSE(archive.DescriptorSeen());
}

TEST_F(QuickScan, HeaderInTheLastBytesIsPassedOverWithoutException) {
    // The cut header is not an entry; the rest stays.
    ZipWriter zip;
    zip.Add({.name = "kept1", .content = "abc"});
    zip.Add({.name = "kept2", .content = "defg", .method = 8});
    zip.Add({.name = "cut", .content = "x"});
    for (std::uint32_t cut = 4; cut < 30; cut += 5) {
        SCOPED_TRACE(cut);
        std::string bytes = zip.Bytes();
        Truncate(bytes, zip.Entry(2).headerOffset + cut);
        g_repairMode = 0;
        CZipArchive& archive = Open(bytes);
        EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"kept1", L"kept2"}));
        EXPECT_EQ(archive.GetEntryCount(), 2u);
        archive.CloseArchive(true);
    }
}

TEST_F(QuickScan, NameCutByTheEndKeepsItsBytesAndRaisesNoTruncation) {
    // The scan's tolerant reads never raise the flag.
    ZipWriter zip;
    zip.Add({.name = "first", .content = "1"});
    zip.Add({.name = "longer_name.txt", .content = "", .extra = "EXTRA"});
    std::string bytes = zip.Bytes();
    Truncate(bytes, zip.Entry(1).headerOffset + 30 + 6);
    CZipArchive& archive = Open(bytes);
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].name, L"longer");
    EXPECT_FALSE(archive.m_storage.m_truncated);
}

TEST_F(QuickScan, FewerThanFiftyBytesAfterTheEntriesReadNoCentralHeader) {
    ZipWriter zip;
    zip.Add({.name = "name", .content = "12"});
    std::string tail =
        CentralHeaderBytes({.name = "NAME", .localHeaderOffset = 0, .compressedSize = 2});
    zip.AddRaw(tail.substr(0, 49));
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), std::vector<std::wstring>{L"name"});
}

TEST_F(QuickScan, HugeClaimedSizeNeitherWrapsNorHidesTheRest) {
    // In 32 bits 100 + 30 + 4 + 0xFFFFFFD0 wraps to 86, back before the
    // header; in 64 bits it lies past the end, so the walk goes on.
    ZipWriter zip;
    zip.AddRaw(std::string(68, '.'));
    zip.Add({.name = "a", .content = "1"});
    ASSERT_EQ(zip.Size(), 100u);
    zip.Add({.name = "huge", .content = "2", .compressedSize = 0xFFFFFFD0});
    zip.Add({.name = "hidden", .content = "3"});
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        g_repairMode = 0;
        CZipArchive& archive = Open(zip.Bytes(), mode);
        EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"a", L"huge", L"hidden"}));
        EXPECT_EQ(archive.GetEntryCount(), 3u);
        archive.CloseArchive(true);
    }
}

TEST_F(QuickScan, FloodPastTheMemoryLimitEndsWithAClearErrorAndKeepsWhatItFound) {
    // 50,000 bare headers against a table allowed 1 MiB (about 18,000 entries):
    // the scan stops with its own message instead of exhausting memory.
    std::string flood;
    for (int i = 0; i < 50000; ++i)
        flood += LocalHeaderBytes(20, 0, 0, 0, 0, 0, 0, 0, "", 0, "", 0);
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        g_repairMode = 0;
        m_archive->m_tableMemoryLimit = 1 << 20;
        try {
            Open(flood, mode);
            ADD_FAILURE() << "no exception";
        } catch (const CZipException& e) {
            EXPECT_EQ(e.m_cause, CZipException::tooManyEntries);
            EXPECT_NE(e.GetErrorMessage().find(L"not enough memory"), std::wstring::npos);
        }
        EXPECT_GT(m_archive->GetEntryCount(), 10000u);
        EXPECT_LT(m_archive->GetEntryCount(), 50000u);
        m_archive->CloseArchive(true);

        m_archive->m_tableMemoryLimit = 0;
        Open(flood, mode);
        EXPECT_EQ(m_archive->GetEntryCount(), 50000u);
        m_archive->CloseArchive(true);
    }
}

TEST_F(QuickScan, GarbageAroundEntriesIsSkipped) {
    ZipWriter zip;
    zip.AddRaw(NoiseBytes(777, 5));
    zip.Add({.name = "x.txt", .content = "payload"});
    zip.AddRaw("PK\x05\x06PKPK\x03");
    zip.Add({.name = "y.txt", .content = "more", .method = 8});
    CZipArchive& archive = Open(zip.Bytes());
    EXPECT_EQ(Names(archive), (std::vector<std::wstring>{L"x.txt", L"y.txt"}));
}

// What a scan of an archive gives its user: every entry as listed, the
// reports, and how each entry is judged.
struct ScanOutcome {
    std::vector<std::string> entries;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    bool descriptorSeen = false;
    bool operator==(const ScanOutcome&) const = default;
};

ScanOutcome ScanAndJudge(CZipArchive& archive, const std::filesystem::path& file, int mode) {
    ScanOutcome outcome;
    RecordedProgress progress;
    archive.SetScanObserver(&progress);
    g_repairMode = mode;
    try {
        archive.OpenArchive(Wide(file), 0);
    } catch (const CException&) {
        outcome.entries.push_back("scan ended by an error");
    }
    archive.SetScanObserver(nullptr);
    outcome.reports = progress.reports;
    outcome.descriptorSeen = archive.DescriptorSeen();
    CFileHeader header;
    for (std::size_t i = 0; archive.FetchEntryInfo(header, i); ++i) {
        ExtractReport report;
        try {
            archive.TestEntry(i, 65535, report);
        } catch (const CException&) {
        }
        outcome.entries.push_back(platform::ToUtf8(header.name) + " at " +
                                  std::to_string(header.localHeaderOffset) + ": " +
                                  VerdictText(report));
    }
    archive.CloseArchive(true);
    return outcome;
}

TEST_F(QuickScan, AScanDoesNotDependOnTheOneBefore) {
    // Filler before the entries, a descriptor before a header, a lying
    // descriptor that the look-back turns unchecked, directory records.
    ZipWriter seen;
    seen.AddRaw(std::string(450, '-'));
    seen.Add({.name = "a.txt", .content = "alpha", .descriptor = DescriptorForm::withSignature});
    seen.Add({.name = "b.txt", .content = std::string(300, 'b'), .method = 8});
    seen.AddCentralDirectory();
    // A descriptor that disagrees is checked here, and a directory record
    // of an entry whose local header is gone.
    ZipWriter checked;
    checked.Add({.name = "c.txt",
                 .content = "gamma",
                 .descriptor = DescriptorForm::withoutSignature,
                 .keepHeaderSizes = true});
    checked.Add({.name = "d.txt", .content = "delta"});
    checked.AddCentralDirectory();
    std::string checkedBytes = checked.Bytes();
    FlipByte(checkedBytes, checked.Entry(0).descriptorOffset);
    checkedBytes[checked.Entry(1).headerOffset] = 'X';
    // A scan stopped half-way: the table's memory runs out.
    ZipWriter flood;
    for (int i = 0; i < 3000; ++i)
        flood.Add({.name = "f" + std::to_string(i), .content = "f"});
    flood.AddCentralDirectory();

    const std::vector<std::pair<std::string, std::string>> archives = {
        {"seen.zip", seen.Bytes()}, {"checked.zip", checkedBytes}, {"flood.zip", flood.Bytes()}};
    for (const auto& [name, bytes] : archives)
        WriteFileBytes(m_dir / name, bytes);
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        for (const auto& [first, firstBytes] : archives) {
            for (const auto& [second, secondBytes] : archives) {
                if (first == second)
                    continue;
                SCOPED_TRACE(first + " then " + second);
                CZipArchive fresh;
                const ScanOutcome alone = ScanAndJudge(fresh, m_dir / second, mode);
                CZipArchive shared;
                shared.m_tableMemoryLimit = first == "flood.zip" ? 64 * 1024 : 0;
                ScanAndJudge(shared, m_dir / first, mode);
                shared.m_tableMemoryLimit = 0;
                EXPECT_EQ(ScanAndJudge(shared, m_dir / second, mode), alone);
            }
        }
    }
}

} // namespace
} // namespace kvtest
