// Extraction: the bytes written, partial files, empty files and folders, the
// debris test, names that meet on disk and what an exception leaves behind.
#include "engine/debris.h"
#include "engine/password_choice.h"
#include "engine/zip_exception.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <ctime>
#include <sys/stat.h>

namespace kvtest {
namespace {

std::int64_t ModifiedSeconds(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return st.st_mtim.tv_sec;
}

class Extraction : public EngineTest {
protected:
    bool Extract(std::size_t index, ExtractReport* report = nullptr) {
        return m_archive->ExtractEntryTo(index, Wide(Out()), 65535, report);
    }
    std::optional<std::string> Output(const std::string& name) const {
        return ReadFileBytes(Out() / name);
    }
};

// 2020-05-17 10:20:30, and what it is under TZ=UTC.
constexpr std::uint16_t kDate = ((2020 - 1980) << 9) | (5 << 5) | 17;
constexpr std::uint16_t kTime = (10 << 11) | (20 << 5) | 15;
constexpr std::int64_t kMoment = 1589710830;

TEST_F(Extraction, StoredAndDeflatedEntriesComeBackByteForByte) {
    ZipWriter zip;
    const std::string text = std::string(70000, 'a') + NoiseBytes(70000, 1);
    zip.Add({.name = "s/stored.bin", .content = text, .modTime = kTime, .modDate = kDate});
    zip.Add({.name = "d/deep/deflated.bin",
             .content = text,
             .method = 8,
             .modTime = kTime,
             .modDate = kDate});
    zip.AddCentralDirectory();
    Open(zip.Bytes());
    for (std::size_t i = 0; i < 2; ++i) {
        ExtractReport report;
        EXPECT_TRUE(Extract(i, &report));
        EXPECT_EQ(report.outcome, ExtractReport::written);
        EXPECT_EQ(report.bytesWritten, text.size());
    }
    EXPECT_TRUE(SameBytes(Output("s/stored.bin"), text));
    EXPECT_TRUE(SameBytes(Output("d/deep/deflated.bin"), text));
    EXPECT_EQ(ModifiedSeconds(Out() / "s/stored.bin"), kMoment);
    EXPECT_EQ(ModifiedSeconds(Out() / "d/deep/deflated.bin"), kMoment);
    EXPECT_TRUE(m_archive->m_zlibBlocks.empty());
}

TEST_F(Extraction, StoredEntryIsReadInChunksOfTheCallersSize) {
    ZipWriter zip;
    const std::string content = NoiseBytes(100000, 4);
    zip.Add({.name = "big", .content = content});
    CZipArchive& archive = Open(zip.Bytes());
    ASSERT_TRUE(archive.BeginEntryRead(0));
    EXPECT_FALSE(archive.BeginEntryRead(0)); // one entry at a time
    std::string buffer(65535, '\0');
    EXPECT_EQ(archive.ReadEntryData(buffer.data(), 65535), 65535u);
    std::string got = buffer;
    EXPECT_EQ(archive.ReadEntryData(buffer.data(), 65535), 34465u);
    got += buffer.substr(0, 34465);
    EXPECT_EQ(archive.ReadEntryData(buffer.data(), 65535), 0u);
    EXPECT_EQ(got, content);
    EXPECT_TRUE(archive.EndEntryRead(nullptr));
    EXPECT_EQ(archive.m_readState, CZipArchive::readNone);
}

class StoredCut : public Extraction, public ::testing::WithParamInterface<std::size_t> {};

// Kept: the bytes of the data that the file still holds, none included.
TEST_P(StoredCut, KeepsItsBytesAndIsStampedAsPartial) {
    const std::size_t kept = GetParam();
    ZipWriter zip;
    const std::string content = NoiseBytes(8000, 5);
    zip.Add({.name = "cut.bin", .content = content, .modTime = kTime, .modDate = kDate});
    std::string bytes = zip.Bytes();
    Truncate(bytes, zip.Entry(0).dataOffset + kept);
    Open(bytes);
    ExtractReport report;
    EXPECT_TRUE(Extract(0, &report));
    EXPECT_EQ(report.outcome, ExtractReport::partial);
    EXPECT_EQ(report.bytesWritten, kept);
    EXPECT_TRUE(SameBytes(Output("cut.bin"), content.substr(0, kept)));
    EXPECT_EQ(ModifiedSeconds(Out() / "cut.bin"), kMoment);
    EXPECT_FALSE(m_archive->m_storage.m_truncated);
}

INSTANTIATE_TEST_SUITE_P(Kept, StoredCut, ::testing::Values(5000, 0));

struct BadDeflateCase {
    const char* what;
    bool truncate; // else garble
};
class BadDeflate : public Extraction, public ::testing::WithParamInterface<BadDeflateCase> {};

TEST_P(BadDeflate, PartialFileIsKeptUnstampedAndTheNextEntryExtracts) {
    // The good entry comes first so that a cut can take the bad one's tail.
    ZipWriter zip;
    std::string content;
    for (int i = 0; content.size() < 60000; ++i)
        content += "line " + std::to_string(i * 7919 % 100003) + " of the salvage log\n";
    zip.Add({.name = "good.txt", .content = "good", .method = 8});
    zip.Add(
        {.name = "bad.bin", .content = content, .method = 8, .modTime = kTime, .modDate = kDate});
    std::string bytes = zip.Bytes();
    const WrittenEntry& bad = zip.Entry(1);
    if (GetParam().truncate) {
        Truncate(bytes, bad.dataOffset + bad.dataSize / 2);
    } else {
        // Half the content, then a block of the reserved type 3.
        std::string data =
            DeflateUnfinished(content.substr(0, 30000)) + "\x07" + NoiseBytes(bad.dataSize, 8);
        data.resize(bad.dataSize);
        Overwrite(bytes, bad.dataOffset, data);
    }
    Open(bytes);
    ASSERT_EQ(m_archive->GetEntryCount(), 2u);
    const std::time_t before = std::time(nullptr);
    ExtractReport report;
    EXPECT_TRUE(Extract(1, &report));
    EXPECT_EQ(report.outcome, ExtractReport::partial);
    const std::optional<std::string> written = Output("bad.bin");
    ASSERT_TRUE(written);
    EXPECT_LT(written->size(), content.size());
    EXPECT_GT(written->size(), 0u);
    // Everything inflated before the damage is kept, and only that.
    if (!GetParam().truncate) {
        EXPECT_EQ(written->size(), 30000u);
    }
    EXPECT_TRUE(SameBytes(written, content.substr(0, written->size())));
    EXPECT_EQ(report.bytesWritten, written->size());
    EXPECT_GE(ModifiedSeconds(Out() / "bad.bin"), before);
    EXPECT_EQ(m_archive->m_decodeError, 0);
    EXPECT_EQ(m_archive->m_readState, CZipArchive::readNone);
    EXPECT_TRUE(m_archive->m_zlibBlocks.empty());
    EXPECT_TRUE(Extract(0));
    EXPECT_TRUE(SameBytes(Output("good.txt"), "good"));
}

INSTANTIATE_TEST_SUITE_P(Table, BadDeflate,
                         ::testing::Values(BadDeflateCase{"Truncated", true},
                                           BadDeflateCase{"Garbled", false}),
                         [](const auto& test) { return std::string(test.param.what); });

TEST_F(Extraction, OutputStopsAtTheClaimedUncompressedSizeOnlyWhenNothingVerifies) {
    // The CRC-32 of all the data is the stored one: the data decides. With
    // a CRC-32 nothing matches, the claimed size is all there is to go by.
    ZipWriter zip;
    zip.Add({.name = "s.txt", .content = "0123456789", .uncompressedSize = 4});
    zip.Add({.name = "d.txt", .content = "0123456789", .method = 8, .uncompressedSize = 6});
    zip.Add({.name = "e.txt",
             .content = "data",
             .modTime = kTime,
             .modDate = kDate,
             .uncompressedSize = 0});
    zip.Add({.name = "cut.txt", .content = "0123456789", .crc = 7, .uncompressedSize = 4});
    Open(zip.Bytes());
    ExtractReport report;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(Extract(i, &report));
        EXPECT_EQ(report.verdict, Verdict::verified) << i;
    }
    EXPECT_TRUE(SameBytes(Output("s.txt"), "0123456789"));
    EXPECT_TRUE(SameBytes(Output("d.txt"), "0123456789"));
    EXPECT_TRUE(SameBytes(Output("e.txt"), "data"));
    EXPECT_EQ(ModifiedSeconds(Out() / "e.txt"), kMoment);
    EXPECT_TRUE(Extract(3, &report));
    EXPECT_EQ(report.verdict, Verdict::damaged);
    EXPECT_TRUE(SameBytes(Output("cut.txt"), "0123"));
}

struct NameCase {
    const char* name;
    bool kept;
    std::uint16_t method = 0;
};
class NameTable : public Extraction, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameTable, RealNamesAreWrittenAndDebrisIsSkipped) {
    // The preview lists what IsDebris lets through; saving must write
    // exactly those, and nothing of the others.
    ZipWriter zip;
    zip.Add({.name = GetParam().name, .content = "content", .method = GetParam().method});
    Open(zip.Bytes());
    CFileHeader entry;
    ASSERT_TRUE(m_archive->FetchEntryInfo(entry, 0));
    EXPECT_EQ(IsDebris(entry), !GetParam().kept);
    ExtractReport report;
    EXPECT_TRUE(Extract(0, &report));
    EXPECT_EQ(report.outcome, GetParam().kept ? ExtractReport::written : ExtractReport::skipped);
    if (GetParam().kept) {
        EXPECT_TRUE(SameBytes(ReadFileBytes(platform::EncodeLocal(report.outputPath)), "content"));
    } else {
        EXPECT_FALSE(std::filesystem::exists(Out()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameTable,
    ::testing::Values(
        // Capital P and K, upper case, blanks, non-ASCII: real files.
        NameCase{"BACKUP.DAT", true}, NameCase{"DOC/PACK.TXT", true}, NameCase{"KP.TXT", true},
        NameCase{"KPI Report.xlsx", true}, NameCase{"Project Kickoff.docx", true},
        NameCase{"Help/envvar/CMAKE_BUILD_TYPE.rst", true}, NameCase{"docs/Kiwi.txt", true},
        NameCase{"Kind.doc", true}, NameCase{"PK", true},
        NameCase{"R\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt", true},
        NameCase{"..\\..\\evil.txt", true}, NameCase{"C:\\X\\Y.TXT", true},
        // What false and broken headers give.
        NameCase{"", false}, NameCase{"ab\x01\x80\x13", false}, NameCase{"del\x7F.txt", false},
        NameCase{"name.txtPK\x03\x04\x14", false}, NameCase{"/", false}, NameCase{"./../", false},
        NameCase{"..\\..", false}, NameCase{"C:", false}, NameCase{"fine.txt", false, 15318}));

TEST_F(Extraction, EntriesWithoutDataMakeEmptyFilesAndFoldersWithTheirTimes) {
    // The folder entry comes first and a file is written into it later: its
    // time is given when the archive is closed, so that it stays.
    ZipWriter zip;
    zip.Add({.name = "tree/", .content = "", .modTime = kTime, .modDate = kDate});
    zip.Add({.name = "tree\\deep\\", .content = ""});
    zip.Add({.name = "tree/empty.txt", .content = "", .modTime = kTime, .modDate = kDate});
    zip.Add({.name = "tree/later.txt", .content = "later", .modTime = kTime, .modDate = kDate});
    Open(zip.Bytes());
    std::vector<ExtractReport::Outcome> outcomes;
    for (std::size_t i = 0; i < 4; ++i) {
        ExtractReport report;
        EXPECT_TRUE(Extract(i, &report));
        outcomes.push_back(report.outcome);
    }
    EXPECT_EQ(outcomes, (std::vector<ExtractReport::Outcome>{
                            ExtractReport::folder, ExtractReport::folder, ExtractReport::written,
                            ExtractReport::written}));
    EXPECT_TRUE(std::filesystem::is_directory(Out() / "tree/deep"));
    EXPECT_TRUE(SameBytes(Output("tree/empty.txt"), ""));
    EXPECT_EQ(ModifiedSeconds(Out() / "tree/empty.txt"), kMoment);
    m_archive->CloseArchive(true);
    EXPECT_EQ(ModifiedSeconds(Out() / "tree"), kMoment);
}

TEST_F(Extraction, DifferentNamesForOnePathAreNumberedAndTheSameNameOverwrites) {
    // a/b.txt, a\b.txt and ../a/b.txt all land on a/b.txt: the later names
    // get " (2)", " (3)" before the extension; a second copy of a stored
    // name writes over its own file.
    ZipWriter zip;
    zip.Add({.name = "a/b.txt", .content = "one"});
    zip.Add({.name = "a\\b.txt", .content = "two"});
    zip.Add({.name = "../a/b.txt", .content = "three"});
    zip.Add({.name = "a\\b.txt", .content = "two again"});
    zip.Add({.name = ".profile", .content = "p1"});
    zip.Add({.name = "/.profile", .content = "p2"});
    Open(zip.Bytes());
    std::vector<bool> renamed;
    for (std::size_t i = 0; i < 6; ++i) {
        ExtractReport report;
        EXPECT_TRUE(Extract(i, &report));
        EXPECT_EQ(report.outcome, ExtractReport::written);
        renamed.push_back(report.renamed);
    }
    EXPECT_EQ(renamed, (std::vector<bool>{false, true, true, true, false, true}));
    EXPECT_TRUE(SameBytes(Output("a/b.txt"), "one"));
    EXPECT_TRUE(SameBytes(Output("a/b (2).txt"), "two again"));
    EXPECT_TRUE(SameBytes(Output("a/b (3).txt"), "three"));
    EXPECT_TRUE(SameBytes(Output(".profile (2)"), "p2"));
}

TEST_F(Extraction, EmptyNameIsSkipped) {
    ZipWriter zip;
    zip.Add({.name = "", .content = "data"});
    Open(zip.Bytes());
    ExtractReport report;
    EXPECT_TRUE(Extract(0, &report));
    EXPECT_EQ(report.outcome, ExtractReport::skipped);
    EXPECT_FALSE(std::filesystem::exists(Out()));
}

TEST_F(Extraction, IndexOutsideTheTableWritesNothing) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    Open(zip.Bytes());
    EXPECT_TRUE(Extract(1));
    EXPECT_TRUE(Extract(65536));
    EXPECT_FALSE(std::filesystem::exists(Out()));
    EXPECT_FALSE(m_archive->BeginEntryRead(65536));
}

TEST_F(Extraction, ChunkSizeZeroIsRefused) {
    ZipWriter zip;
    zip.Add({.name = "a", .content = "1"});
    Open(zip.Bytes());
    EXPECT_FALSE(m_archive->ExtractEntryTo(0, Wide(Out()), 0));
    EXPECT_FALSE(std::filesystem::exists(Out()));
}

TEST_F(Extraction, TrailingSeparatorOnTheDestinationChangesNothing) {
    ZipWriter zip;
    zip.Add({.name = "x/y.txt", .content = "1"});
    Open(zip.Bytes());
    ExtractReport plain;
    ExtractReport trailing;
    EXPECT_TRUE(m_archive->ExtractEntryTo(0, Wide(Out()), 65535, &plain));
    EXPECT_TRUE(m_archive->ExtractEntryTo(0, Wide(Out()) + L"//", 65535, &trailing));
    EXPECT_EQ(plain.outputPath, trailing.outputPath);
    EXPECT_EQ(plain.outputPath, Wide(Out() / "x/y.txt"));
}

// What the user can trust of an entry: each verdict from an archive the
// writer made, through extraction and through the test that writes
// nothing. The entry under test is the first; a "next.txt" after it must
// still come back verified.
const std::string kVerdictText = NoiseBytes(3000, 7) + std::string(3000, 'v');

// What is done to the archive: nothing, a bit turned in the data (or in the
// descriptor), or the file cut inside the data.
enum class Damage { none, flipData, flipDescriptor, cutData };

struct VerdictCase {
    const char* label;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    // Deflated as one stored block: a byte turned in it gives other data of
    // the same length, not a stream that breaks.
    bool storedBlock = false;
    // No sizes in the header and an unsigned descriptor after the data,
    // then bytes the scan cannot place: the entry is read open-ended.
    bool openEnded = false;
    bool last = false; // nothing after it
    Damage damage = Damage::none;
    std::size_t at = 0; // where in the data (the content) the damage is
    Verdict verdict = Verdict::verified;
    const char* reason = ""; // a part of the reason
    // Encrypted with this password (AES when a strength is given), and the
    // password extraction is given when it is another.
    const char* password = "";
    int aesStrength = 0;
    std::uint16_t aesVersion = 2;
    const char* given = nullptr;
    bool zip64 = false; // sizes in a Zip64 field, beside the AES one
};
class VerdictTable : public Extraction, public ::testing::WithParamInterface<VerdictCase> {};

std::string StoredDeflateBlock(const std::string& data) {
    std::string out = "\x01";
    PutLe16(out, static_cast<std::uint16_t>(data.size()));
    PutLe16(out, static_cast<std::uint16_t>(~data.size()));
    return out + data;
}

// The archive of the case, and what the entry's file must hold when one is
// made.
std::string VerdictArchive(const VerdictCase& c, std::string& kept) {
    ZipWriter zip;
    EntrySpec target{.name = "target.bin",
                     .content = kVerdictText,
                     .method = c.method,
                     .flags = c.flags,
                     .zip64 = c.zip64,
                     .password = c.password,
                     .aesStrength = c.aesStrength,
                     .aesVersion = c.aesVersion};
    if (c.storedBlock)
        target.rawData = StoredDeflateBlock(kVerdictText);
    if (c.openEnded)
        target.descriptor = DescriptorForm::withoutSignature;
    zip.Add(target);
    if (c.openEnded && !c.last)
        zip.AddRaw("left over by the writer");
    if (!c.last)
        zip.Add({.name = "next.txt", .content = "next", .method = 8});
    std::string bytes = zip.Bytes();
    const WrittenEntry& entry = zip.Entry(0);
    // A stored block has 5 bytes before the content, an encryption its
    // header.
    const std::size_t cipherHeader = *c.password == '\0' ? 0
                                     : c.aesStrength != 0
                                         ? AesCipher::SaltSize(c.aesStrength) + kAesVerifierSize
                                         : kTraditionalHeaderSize;
    const std::size_t data = entry.dataOffset + cipherHeader + (c.storedBlock ? 5 : 0);
    kept = kVerdictText;
    switch (c.damage) {
    case Damage::none:
        break;
    case Damage::flipData:
        FlipByte(bytes, data + c.at, 0x10);
        FlipByte(kept, c.at, 0x10);
        break;
    case Damage::flipDescriptor:
        FlipByte(bytes, entry.descriptorOffset);
        break;
    case Damage::cutData:
        Truncate(bytes, data + c.at);
        kept = kVerdictText.substr(0, c.at);
        break;
    }
    return bytes;
}

TEST_P(VerdictTable, TellsWhatCanBeTrusted) {
    const VerdictCase& c = GetParam();
    std::string kept;
    Open(VerdictArchive(c, kept));
    m_archive->SetPassword(Password(c.given != nullptr ? c.given : c.password));
    // The open-ended cases must reach extraction without sizes.
    CFileHeader entry;
    ASSERT_TRUE(m_archive->FetchEntryInfo(entry, 0));
    EXPECT_EQ(entry.openEnded, c.openEnded);
    ExtractReport tested;
    m_archive->TestEntry(0, 65535, tested);
    ExtractReport report;
    try {
        Extract(0, &report);
    } catch (const CException&) {
        ADD_FAILURE() << "an archive the writer made throws";
    }
    EXPECT_EQ(report.verdict, c.verdict) << report.reason;
    EXPECT_NE(report.reason.find(c.reason), std::string::npos) << report.reason;
    EXPECT_EQ(report.reason.empty(), std::string(c.reason).empty()) << report.reason;
    const std::optional<std::string> written = Output("target.bin");
    EXPECT_EQ(written.has_value(), c.verdict != Verdict::notSaved);
    if (c.verdict != Verdict::notSaved) {
        EXPECT_TRUE(SameBytes(written, kept));
        EXPECT_EQ(report.crc, Crc32(written.value_or("")));
        EXPECT_EQ(report.bytesWritten, written.value_or("").size());
    }
    // The test without writing comes to the same.
    EXPECT_EQ(tested.verdict, report.verdict);
    EXPECT_EQ(tested.crc, report.crc);
    EXPECT_EQ(tested.crcExpected, report.crcExpected);
    if (report.crcExpected &&
        (report.verdict == Verdict::damaged || report.verdict == Verdict::verified) &&
        report.reason.find("authentication") == std::string::npos) {
        EXPECT_EQ(report.crc == report.expectedCrc, report.verdict == Verdict::verified);
    }
    EXPECT_EQ(report.wrongPassword, std::string(c.reason) == "wrong password");
    if (!c.last) {
        EXPECT_TRUE(Extract(1, &report));
        EXPECT_EQ(report.verdict, Verdict::verified);
        EXPECT_TRUE(SameBytes(Output("next.txt"), "next"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VerdictTable,
    ::testing::Values(
        VerdictCase{.label = "intactStored"}, VerdictCase{.label = "intactDeflated", .method = 8},
        VerdictCase{.label = "flippedInStoredData",
                    .damage = Damage::flipData,
                    .at = 100,
                    .verdict = Verdict::damaged,
                    .reason = "CRC-32"},
        VerdictCase{.label = "flippedInDeflatedData",
                    .method = 8,
                    .storedBlock = true,
                    .damage = Damage::flipData,
                    .at = 2000,
                    .verdict = Verdict::damaged,
                    .reason = "CRC-32"},
        VerdictCase{.label = "cutInStoredData",
                    .last = true,
                    .damage = Damage::cutData,
                    .at = 1234,
                    .verdict = Verdict::partial,
                    .reason = "ends inside its data"},
        VerdictCase{.label = "cutInDeflatedData",
                    .method = 8,
                    .storedBlock = true,
                    .last = true,
                    .damage = Damage::cutData,
                    .at = 1234,
                    .verdict = Verdict::partial,
                    .reason = "damaged or ends early"},
        VerdictCase{.label = "encryptedWithoutAPassword",
                    .verdict = Verdict::notSaved,
                    .reason = "encrypted, and no password was given",
                    .password = "pw",
                    .given = ""},
        // Both ciphers, both methods, every AES strength; AE-1 keeps a CRC.
        VerdictCase{.label = "traditionalStored", .password = "pw"},
        VerdictCase{.label = "traditionalDeflated", .method = 8, .password = "p\xC3\xA4ss"},
        VerdictCase{
            .label = "traditionalOpenEnded", .method = 8, .openEnded = true, .password = "pw"},
        VerdictCase{.label = "aes128Stored", .password = "pw", .aesStrength = 1},
        VerdictCase{.label = "aes192Deflated", .method = 8, .password = "pw", .aesStrength = 2},
        VerdictCase{.label = "aes256DeflatedAe1",
                    .method = 8,
                    .password = "pw",
                    .aesStrength = 3,
                    .aesVersion = 1},
        VerdictCase{.label = "aes256DeflatedZip64",
                    .method = 8,
                    .password = "pw",
                    .aesStrength = 3,
                    .zip64 = true},
        VerdictCase{.label = "traditionalWrongPassword",
                    .verdict = Verdict::notSaved,
                    .reason = "wrong password",
                    .password = "pw",
                    .given = "px"},
        VerdictCase{.label = "aesWrongPassword",
                    .method = 8,
                    .verdict = Verdict::notSaved,
                    .reason = "wrong password",
                    .password = "pw",
                    .aesStrength = 3,
                    .given = "px"},
        // A counter-mode cipher turns the same bit of the plain data.
        VerdictCase{.label = "aesFlippedInStoredData",
                    .damage = Damage::flipData,
                    .at = 100,
                    .verdict = Verdict::damaged,
                    .reason = "authentication code does not match",
                    .password = "pw",
                    .aesStrength = 3},
        VerdictCase{.label = "aesAe1FlippedInStoredData",
                    .damage = Damage::flipData,
                    .at = 100,
                    .verdict = Verdict::damaged,
                    .reason = "CRC-32",
                    .password = "pw",
                    .aesStrength = 1,
                    .aesVersion = 1},
        VerdictCase{.label = "aesCutInStoredData",
                    .last = true,
                    .damage = Damage::cutData,
                    .at = 1234,
                    .verdict = Verdict::partial,
                    .reason = "ends inside its data",
                    .password = "pw",
                    .aesStrength = 2,
                    .zip64 = true},
        VerdictCase{.label = "aesCutInItsAuthenticationCode",
                    .last = true,
                    .damage = Damage::cutData,
                    .at = 6005,
                    .verdict = Verdict::damaged,
                    .reason = "authentication code is cut off",
                    .password = "pw",
                    .aesStrength = 3},
        VerdictCase{.label = "traditionalCutInDeflatedData",
                    .method = 8,
                    .storedBlock = true,
                    .last = true,
                    .damage = Damage::cutData,
                    .at = 1234,
                    .verdict = Verdict::partial,
                    .reason = "damaged or ends early",
                    .password = "pw"},
        VerdictCase{.label = "methodNotSupported",
                    .method = 3,
                    .verdict = Verdict::notSaved,
                    .reason = "method not supported: reduced (3)"},
        // Only the descriptor that ends data read open-ended can vouch for it.
        VerdictCase{.label = "openEndedWithItsDescriptor", .method = 8, .openEnded = true},
        VerdictCase{.label = "openEndedWithAWrongDescriptor",
                    .method = 8,
                    .openEnded = true,
                    .damage = Damage::flipDescriptor,
                    .verdict = Verdict::partial,
                    .reason = "descriptor"},
        // Stored data has no end of its own: its descriptor is not written.
        VerdictCase{.label = "openEndedStoredAtTheEnd", .openEnded = true, .last = true},
        VerdictCase{.label = "openEndedCut",
                    .openEnded = true,
                    .last = true,
                    .damage = Damage::cutData,
                    .at = 4000,
                    .verdict = Verdict::partial,
                    .reason = "no descriptor"}),
    [](const auto& test) { return std::string(test.param.label); });

// A run's password: tried on the archive's encryption headers, asked again
// while it does not fit, asked no more once it fits the next archive too.
TEST_F(Extraction, PasswordIsAskedUntilItFitsAndThenKeptForTheRun) {
    ZipWriter zip;
    zip.Add({.name = "plain.txt", .content = "plain"});
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        zip.Add({.name = name, .content = name, .method = 8, .password = "right"});
    // An entry of another password, and one whose header was damaged, do
    // not keep the password from fitting the archive.
    zip.Add({.name = "d.txt", .content = "d", .password = "other", .aesStrength = 1});
    Open(zip.Bytes());
    EXPECT_EQ(m_archive->CountEncrypted(), 4u);
    EXPECT_TRUE(m_archive->TryPassword(Password("right")).Fits());
    EXPECT_FALSE(m_archive->TryPassword(Password("wrong")).Fits());

    Password run;
    std::vector<std::string> asked;
    std::vector<std::string> answers = {"wrong", "right"};
    const PasswordAsk ask = [&](bool again, Password& answer, bool& forAll) {
        asked.push_back(again ? "again" : "first");
        if (answers.empty())
            return false;
        answer = Password(answers.front());
        answers.erase(answers.begin());
        forAll = true;
        return true;
    };
    ChoosePassword(*m_archive, run, ask);
    EXPECT_EQ(asked, (std::vector<std::string>{"first", "again"}));
    EXPECT_EQ(run.View(), "right");
    ExtractReport report;
    EXPECT_TRUE(Extract(2, &report));
    EXPECT_EQ(report.verdict, Verdict::verified);
    EXPECT_TRUE(SameBytes(Output("b.txt"), "b.txt"));
    EXPECT_FALSE(Extract(4, &report));
    EXPECT_EQ(report.reason, "wrong password");

    // The next archive of the run takes the same password without asking.
    Open(zip.Bytes());
    ChoosePassword(*m_archive, run, ask);
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_TRUE(Extract(1, &report));
    EXPECT_EQ(report.verdict, Verdict::verified);

    // Given up after a wrong answer: its entries say so, nothing is made.
    Password none;
    answers = {"wrong"};
    Open(zip.Bytes());
    ChoosePassword(*m_archive, none, ask);
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_FALSE(Extract(3, &report));
    EXPECT_EQ(report.verdict, Verdict::notSaved);
    EXPECT_EQ(report.reason, "wrong password");
    EXPECT_TRUE(Extract(0, &report));
    EXPECT_EQ(report.verdict, Verdict::verified);
}

TEST_F(Extraction, LocalExtraFieldCutShortThrowsCauseTen) {
    ZipWriter zip;
    zip.Add({.name = "a.txt", .content = "", .extra = std::string(20, 'e'), .crc = 5});
    std::string bytes = zip.Bytes();
    Truncate(bytes, zip.Entry(0).headerOffset + 30 + 5 + 10);
    Open(bytes);
    try {
        Extract(0);
        FAIL() << "no exception";
    } catch (const CZipException& e) {
        EXPECT_EQ(e.m_cause, 10);
    }
    EXPECT_EQ(m_archive->m_readState, CZipArchive::readNone);
}

TEST_F(Extraction, FileThatCannotBeCreatedFailsAndTheRestExtract) {
    ZipWriter zip;
    zip.Add({.name = "d/inner.txt", .content = "inner"});
    zip.Add({.name = "d", .content = "clash"}); // a folder stands there
    zip.Add({.name = "last.txt", .content = "last", .method = 8});
    Open(zip.Bytes());
    EXPECT_TRUE(Extract(0));
    ExtractReport report;
    EXPECT_FALSE(Extract(1, &report));
    EXPECT_EQ(report.outcome, ExtractReport::failed);
    EXPECT_EQ(m_archive->m_readState, CZipArchive::readNone);
    EXPECT_TRUE(Extract(2));
    EXPECT_TRUE(SameBytes(Output("last.txt"), "last"));
    EXPECT_TRUE(SameBytes(Output("d/inner.txt"), "inner"));
}

TEST_F(Extraction, DestinationThatDoesNotExistIsCreated) {
    ZipWriter zip;
    zip.Add({.name = "a/b/c.txt", .content = "abc"});
    Open(zip.Bytes());
    EXPECT_TRUE(m_archive->ExtractEntryTo(0, Wide(m_dir / "new/dest"), 65535));
    EXPECT_TRUE(SameBytes(ReadFileBytes(m_dir / "new/dest/a/b/c.txt"), "abc"));
    // Folders made once are not looked up again, yet one removed during the
    // run is made again.
    std::filesystem::remove_all(m_dir / "new");
    EXPECT_TRUE(m_archive->ExtractEntryTo(0, Wide(m_dir / "new/dest"), 65535));
    EXPECT_TRUE(SameBytes(ReadFileBytes(m_dir / "new/dest/a/b/c.txt"), "abc"));
}

TEST_F(Extraction, ExtraLengthOfTwoBlanksIsReadAsNone) {
    // The scan still steps and reads by 0x2020; only extraction ignores it.
    ZipWriter zip;
    zip.Add({.name = "blank.txt", .content = "hello", .extraLength = 0x2020});
    Open(zip.Bytes());
    EXPECT_TRUE(Extract(0));
    EXPECT_TRUE(SameBytes(Output("blank.txt"), "hello"));
}

TEST_F(Extraction, ArchiveBytesAreNeverChanged) {
    ZipWriter zip;
    zip.Add({.name = "a.txt",
             .content = "alpha",
             .descriptor = DescriptorForm::withoutSignature,
             .keepHeaderSizes = true});
    zip.Add({.name = "b.bin", .content = NoiseBytes(5000, 1), .method = 8});
    zip.AddCentralDirectory();
    Open(zip.Bytes());
    for (std::size_t i = 0; i < m_archive->GetEntryCount(); ++i)
        Extract(i);
    m_archive->CloseArchive(true);
    EXPECT_TRUE(SameBytes(ReadFileBytes(m_archivePath), zip.Bytes()));
}

TEST_F(Extraction, EntriesPastTheSixteenBitIndexAreTheirOwn) {
    // An index cut to 16 bits would hand out entry 0 again for entry 65536
    // and write it over its file, losing the last entries.
    ZipWriter zip;
    const std::size_t count = 65537;
    for (std::size_t i = 0; i < count; ++i)
        zip.Add({.name = "f" + std::to_string(i), .content = std::to_string(i)});
    Open(zip.Bytes());
    ASSERT_EQ(m_archive->GetEntryCount(), count);
    CFileHeader last;
    ASSERT_TRUE(m_archive->FetchEntryInfo(last, count - 1));
    EXPECT_EQ(last.name, L"f65536");
    EXPECT_FALSE(m_archive->FetchEntryInfo(last, count));
    EXPECT_TRUE(Extract(count - 1));
    EXPECT_TRUE(SameBytes(Output("f65536"), "65536"));
    EXPECT_FALSE(ReadFileBytes(Out() / "f0"));
}

} // namespace
} // namespace kvtest
