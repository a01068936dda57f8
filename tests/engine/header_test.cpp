// Header readings: times, descriptors, the re-read before extraction, names.
#include "engine/entry_name.h"
#include "engine/zip_exception.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <ctime>

namespace kvtest {
namespace {

std::int64_t LocalMoment(int year, int month, int day, int hour, int minute, int second) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

std::uint16_t DosDate(int year, int month, int day) {
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}
std::uint16_t DosTime(int hour, int minute, int second) {
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

struct TimeCase {
    std::uint16_t date;
    std::uint16_t time;
    std::int64_t utcSeconds; // under TZ=UTC
};
class ModifiedTime : public ::testing::TestWithParam<TimeCase> {};

TEST_P(ModifiedTime, DosFieldsNormaliseAsLocalTime) {
    CFileHeader header;
    header.modDate = GetParam().date;
    header.modTime = GetParam().time;
    EXPECT_EQ(header.GetModifiedTime(), GetParam().utcSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModifiedTime,
    ::testing::Values(
        // Day 0 of month 0 of 1980 is 30 November 1979.
        TimeCase{0, 0, 312768000},
        // 2024-02-29 13:37:58.
        TimeCase{DosDate(2024, 2, 29), DosTime(13, 37, 58), 1709213878},
        // Minute 63 and second 62 carry over: 1980-01-01 00:00 + 63 min + 62 s.
        TimeCase{DosDate(1980, 1, 1), 0x07FF, 315532800 + 63 * 60 + 62},
        // The largest fields still convert: 2107-15-31 31:63:62 is
        // 2108-04-01 08:04:02.
        TimeCase{0xFFFF, 0xFFFF, 4362710642}));

TEST(ModifiedTimeLocal, FollowsTheLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    CFileHeader header;
    header.modDate = DosDate(2021, 7, 1);
    header.modTime = DosTime(12, 0, 0);
    EXPECT_EQ(header.GetModifiedTime(), LocalMoment(2021, 7, 1, 12, 0, 0));
    if (old != nullptr)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(Descriptor, AllThreeValuesMustMatch) {
    CFileHeader header;
    header.storedCrc = 0x11223344;
    header.compressedSize = 10;
    header.uncompressedSize = 20;
    const std::string good = DescriptorBytes(0x11223344, 10, 20, false);
    const std::string otherSize = DescriptorBytes(0x11223344, 11, 20, false);
    const std::string otherLength = DescriptorBytes(0x11223344, 10, 21, false);
    const std::string otherCrc = DescriptorBytes(0x11223345, 10, 20, false);
    auto matches = [&header](const std::string& s) {
        return header.MatchesDescriptor(reinterpret_cast<const unsigned char*>(s.data()), s.size());
    };
    EXPECT_TRUE(matches(good));
    EXPECT_FALSE(matches(otherSize));
    EXPECT_FALSE(matches(otherLength));
    EXPECT_FALSE(matches(otherCrc));
    // A Zip64 descriptor holds the same values in 8-byte sizes; cut short it
    // cannot match.
    EXPECT_TRUE(matches(DescriptorBytes(0x11223344, 10, 20, false, true)));
    EXPECT_FALSE(matches(DescriptorBytes(0x11223344, 10, 21, false, true)));
    EXPECT_FALSE(matches(DescriptorBytes(0x11223344, 10, 20, false, true).substr(0, 19)));
    header.compressedSize = 0x100000000ull;
    EXPECT_TRUE(matches(DescriptorBytes(0x11223344, 0x100000000ull, 20, false, true)));
    EXPECT_FALSE(matches(DescriptorBytes(0x11223344, 0, 20, false)));
}

struct CheckCase {
    std::uint16_t extraField;
    std::uint16_t flags;
    std::uint16_t scannedMethod;
    int descriptorSeen;
    bool expectedResult;
    std::uint16_t expectedExtra;
    bool expectedDescriptor;
};
class CheckLocal : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckLocal, RereadsTheLocalHeader) {
    const CheckCase& c = GetParam();
    TempDir dir;
    const std::string name = "name.txt";
    std::string bytes = LocalHeaderBytes(20, c.flags, 8, 0, 0, 1, 2, 3, name, 8, "", c.extraField);
    bytes += "DATA";
    WriteFileBytes(dir / "a.zip", bytes);
    CZipStorage storage;
    storage.OpenStorage(Wide(dir / "a.zip"), 0);
    CFileHeader header;
    header.method = c.scannedMethod;
    header.nameLength = 8;
    std::uint16_t extra = 0xDEAD;
    bool descriptor = !c.expectedDescriptor;
    EXPECT_EQ(header.CheckLocalHeader(storage, extra, descriptor, c.descriptorSeen != 0),
              c.expectedResult);
    EXPECT_EQ(extra, c.expectedExtra);
    EXPECT_EQ(descriptor, c.expectedDescriptor);
    if (c.expectedResult) {
        EXPECT_EQ(storage.GetPosition(), 38u);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CheckLocal,
                         ::testing::Values(CheckCase{0x2020, 0, 8, 0, true, 0, false},
                                           CheckCase{0x2021, 0, 8, 0, true, 0x2021, false},
                                           CheckCase{4, 8, 0, 0, true, 4, true},
                                           // A descriptor met by the look-back turns the check off.
                                           CheckCase{4, 8, 0, 1, true, 4, false},
                                           // The scan's method decides, not the re-read one.
                                           CheckCase{0, 0, 6, 0, false, 0, false}));

TEST(CheckLocalShort, HeaderCutShortThrowsCauseTen) {
    TempDir dir;
    WriteFileBytes(dir / "a.zip",
                   LocalHeaderBytes(20, 0, 0, 0, 0, 0, 0, 0, "", 0, "", 0).substr(0, 29));
    CZipStorage storage;
    storage.OpenStorage(Wide(dir / "a.zip"), 0);
    CFileHeader header;
    std::uint16_t extra = 0;
    bool descriptor = false;
    try {
        header.CheckLocalHeader(storage, extra, descriptor, false);
        FAIL() << "no exception";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.m_cause, 10);
    }
}

class HeaderReading : public EngineTest {};

TEST_F(HeaderReading, QuickReadingFillsEveryFixedField) {
    ZipWriter zip;
    EntrySpec wanted;
    wanted.name = "dir/file.txt";
    wanted.content = "hello";
    wanted.versionNeeded = 45;
    wanted.flags = 0x0800;
    wanted.modTime = 0x1234;
    wanted.modDate = 0x5678;
    wanted.extra = std::string("\x01\x00\x02\x00XY", 6);
    zip.Add(wanted);
    CZipArchive& archive = Open(zip.Bytes());
    ASSERT_EQ(archive.GetEntryCount(), 1u);
    CFileHeader h;
    ASSERT_TRUE(archive.FetchEntryInfo(h, 0));
    EXPECT_EQ(std::string(h.signature.begin(), h.signature.end()), "PK\x03\x04");
    EXPECT_EQ(h.versionNeeded, 45);
    EXPECT_EQ(h.flags, 0x0800);
    EXPECT_EQ(h.method, 0);
    EXPECT_EQ(h.modTime, 0x1234);
    EXPECT_EQ(h.modDate, 0x5678);
    EXPECT_EQ(h.storedCrc, Crc32("hello"));
    EXPECT_EQ(h.compressedSize, 5u);
    EXPECT_EQ(h.uncompressedSize, 5u);
    EXPECT_EQ(h.nameLength, 12);
    EXPECT_EQ(h.extraLength, 6);
    EXPECT_EQ(h.localHeaderOffset, 0u);
    EXPECT_EQ(h.externalAttributes, 0x20u);
    EXPECT_EQ(h.name, L"dir/file.txt");
    ASSERT_EQ(h.extraField.GetSize(), 6u);
    EXPECT_EQ(std::string(h.extraField.GetBuffer(), 6), wanted.extra);
}

TEST_F(HeaderReading, NamesOfAnyLengthAreReadWhole) {
    ZipWriter zip;
    EntrySpec wanted;
    for (int depth = 0; depth < 300; ++depth)
        wanted.name += std::string(200, static_cast<char>('a' + depth % 26)) + "/";
    wanted.name += "leaf.txt";
    wanted.content = "abc";
    wanted.extra = "EXTRA!";
    wanted.modDate = 0x4321;
    zip.Add(wanted);
    CZipArchive& archive = Open(zip.Bytes());
    ASSERT_EQ(archive.GetEntryCount(), 1u);
    CFileHeader h;
    ASSERT_TRUE(archive.FetchEntryInfo(h, 0));
    EXPECT_EQ(platform::ToUtf8(platform::ToNativeSeparators(platform::FromUtf8(wanted.name))),
              platform::ToUtf8(h.name));
    EXPECT_EQ(std::string(h.extraField.GetBuffer(), h.extraField.GetSize()), "EXTRA!");
    EXPECT_EQ(h.nameLength, wanted.name.size());
    EXPECT_EQ(h.extraLength, 6);
    EXPECT_EQ(h.compressedSize, 3u);
    EXPECT_EQ(h.modDate, 0x4321);
    EXPECT_EQ(h.storedCrc, Crc32("abc"));
}

TEST_F(HeaderReading, BothSeparatorsAreHandedOutNative) {
    ZipWriter zip;
    zip.Add({.name = "A/B", .content = "1"});
    zip.Add({.name = "C\\D", .content = "2"});
    CZipArchive& archive = Open(zip.Bytes());
    const std::vector<CFileHeader> entries = FetchAll(archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, std::wstring(L"A") + platform::kNativeSeparator + L"B");
    EXPECT_EQ(entries[1].name, std::wstring(L"C") + platform::kNativeSeparator + L"D");
}

// A Unicode Path extra field for `stored`, holding `name`; a CRC
// of other bytes makes it stale.
std::string UnicodePathField(std::string_view stored, std::string_view name, bool stale = false) {
    std::string field;
    PutLe16(field, 0x7075);
    PutLe16(field, static_cast<std::uint16_t>(5 + name.size()));
    field += '\x01';
    PutLe32(field, Crc32(stale ? std::string(stored) + "x" : stored));
    field += name;
    return std::string("\x0A\x00\x04\x00"
                       "ABCD",
                       8) +
           field; // behind another field
}

struct NameBytesCase {
    const char* what;
    std::string stored;
    std::uint16_t flags;
    std::string extra;
    const char* encoding;
    std::wstring expected;
};
class NameDecoding : public HeaderReading, public ::testing::WithParamInterface<NameBytesCase> {};

TEST_P(NameDecoding, NamesComeOutAsTheirWriterMeantThem) {
    // The central header says the same as the local one, as writers do; the
    // name from either must be the same text.
    const NameBytesCase& c = GetParam();
    ASSERT_TRUE(SetNameEncoding(c.encoding));
    ZipWriter zip;
    zip.Add({.name = c.stored, .content = "1", .flags = c.flags, .extra = c.extra});
    zip.AddCentral({.name = c.stored,
                    .compressedSize = 1,
                    .uncompressedSize = 1,
                    .crc = Crc32("1"),
                    .flags = c.flags,
                    .extra = c.extra});
    for (int mode : {0, 1}) {
        CZipArchive& archive = Open(zip.Bytes(), mode);
        const std::vector<CFileHeader> entries = FetchAll(archive);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, c.expected) << "mode " << mode;
        archive.CloseArchive(true);
    }
    SetNameEncoding(kDefaultNameEncoding);
}

const std::string kCp437 = "CP437_\x8E\x99\x9A_\x82t\x82.txt";

INSTANTIATE_TEST_SUITE_P(
    Table, NameDecoding,
    ::testing::Values(
        NameBytesCase{"FlaggedUtf8", "caf\xC3\xA9", 0x0800, "", "CP437", L"caf\u00E9"},
        NameBytesCase{"ValidUtf8", "caf\xC3\xA9", 0, "", "CP437", L"caf\u00E9"},
        NameBytesCase{"LegacyCp437", kCp437, 0, "", "CP437",
                      L"CP437_\u00C4\u00D6\u00DC_\u00E9t\u00E9.txt"},
        NameBytesCase{"UnicodePath", kCp437, 0, UnicodePathField(kCp437, "\xC3\x84 path.txt"),
                      "CP437", L"\u00C4 path.txt"},
        NameBytesCase{"StaleUnicodePath", kCp437, 0,
                      UnicodePathField(kCp437, "\xC3\x84 path.txt", true), "CP437",
                      L"CP437_\u00C4\u00D6\u00DC_\u00E9t\u00E9.txt"},
        NameBytesCase{"FlagBeforeUnicodePath", "caf\xC3\xA9", 0x0800,
                      UnicodePathField("caf\xC3\xA9", "other"), "CP437", L"caf\u00E9"},
        NameBytesCase{"FlaggedButNotUtf8", "caf\xE9", 0x0800, "", "CP437", L"caf\u0398"},
        NameBytesCase{"ChosenCp866", "\x8F\xE0\xA8\xA2\xA5\xE2.txt", 0, "", "CP866",
                      L"\u041F\u0440\u0438\u0432\u0435\u0442.txt"},
        NameBytesCase{"ChosenCp932", "\x93\xFA\x96\x7B.txt", 0, "", "CP932", L"\u65E5\u672C.txt"},
        NameBytesCase{"Cp932CutInACharacter", "a\x93", 0, "", "CP932", L"a\uFFFD"}),
    [](const auto& test) { return std::string(test.param.what); });

TEST(NameEncoding, UnknownCodePageIsRefusedAndChangesNothing) {
    EXPECT_FALSE(SetNameEncoding("NO-SUCH-CODEPAGE"));
    EXPECT_EQ(g_nameEncoding, kDefaultNameEncoding);
}

TEST_F(HeaderReading, FetchEntryInfoOutsideTheTableLeavesTheCopyAlone) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    CZipArchive& archive = Open(zip.Bytes());
    CFileHeader h;
    h.name = L"untouched";
    EXPECT_FALSE(archive.FetchEntryInfo(h, 1));
    // The index is not cut to 16 bits: 65536 does not alias entry 0.
    EXPECT_FALSE(archive.FetchEntryInfo(h, 65536));
    EXPECT_EQ(h.name, L"untouched");
}

TEST_F(HeaderReading, FetchEntryInfoCopiesTheExtraFieldDeeply) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1", .extra = "EXTR"});
    CZipArchive& archive = Open(zip.Bytes());
    CFileHeader first;
    CFileHeader second;
    ASSERT_TRUE(archive.FetchEntryInfo(first, 0));
    first.extraField.GetBuffer()[0] = 'Z';
    ASSERT_TRUE(archive.FetchEntryInfo(second, 0));
    EXPECT_EQ(std::string(second.extraField.GetBuffer(), 4), "EXTR");
}

} // namespace
} // namespace kvtest
