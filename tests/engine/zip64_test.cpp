// Zip64: archives from the writers people use, intact and cut short; damaged
// Zip64 fields; a 6 GiB archive that exists only in memory; read faults.
#include "engine/zip_exception.h"
#include "tests/engine/engine_fixture.h"
#include "tests/engine/virtual_source.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <zlib.h>

namespace kvtest {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

fs::path Zip64Folder() {
    return fs::path(__FILE__).parent_path().parent_path() / "data" / "zip64";
}

class Zip64Test : public EngineTest {
protected:
    // Extracts every entry into a fresh folder; an entry that throws is
    // reported failed and the rest go on, as the callers of the engine do.
    std::vector<ExtractReport> ExtractAll() {
        m_outCount += 1;
        const fs::path out = m_dir / ("out" + std::to_string(m_outCount));
        std::vector<ExtractReport> reports(m_archive->GetEntryCount());
        for (std::size_t i = 0; i < reports.size(); ++i) {
            try {
                m_archive->ExtractEntryTo(i, Wide(out), 65535, &reports[i]);
            } catch (const CException&) {
                reports[i].outcome = ExtractReport::failed;
            }
        }
        return reports;
    }

    static std::string OutputOf(const ExtractReport& report) {
        return ReadFileBytes(fs::path(report.outputPath)).value_or("");
    }

    int m_outCount = 0;
};

class WriterArchive : public Zip64Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(WriterArchive, IsSalvagedWholeAndUpToWhereItIsCut) {
    const std::optional<std::string> archive = ReadFileBytes(Zip64Folder() / GetParam());
    const std::optional<std::string> a = ReadFileBytes(Zip64Folder() / "a.txt");
    const std::optional<std::string> b = ReadFileBytes(Zip64Folder() / "b.bin");
    ASSERT_TRUE(archive && a && b) << "no test data in " << Zip64Folder();
    const std::string& bytes = *archive;
    const std::map<std::wstring, std::string> content = {
        {L"a.txt", *a}, {L"b.bin", *b}, {L"-", *a}};

    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode == 0 ? "quick" : "advanced");
        g_repairMode = 0;
        Open(bytes, mode);
        const std::vector<CFileHeader> intact = FetchAll(*m_archive);
        ASSERT_FALSE(intact.empty());
        const std::vector<ExtractReport> reports = ExtractAll();
        // Where each entry's records end: at the next local header, or where
        // the directory begins.
        std::vector<std::uint64_t> ends;
        for (std::size_t i = 0; i < intact.size(); ++i) {
            const std::string& expected = content.at(intact[i].name);
            EXPECT_EQ(intact[i].uncompressedSize, expected.size()) << i;
            EXPECT_EQ(intact[i].storedCrc, Crc32(expected)) << i;
            EXPECT_EQ(reports[i].outcome, ExtractReport::written) << i << " " << reports[i].reason;
            EXPECT_TRUE(SameBytes(OutputOf(reports[i]), expected)) << i;
            ends.push_back(i + 1 < intact.size()
                               ? intact[i + 1].localHeaderOffset
                               : bytes.find("PK\x01\x02", ends.empty() ? 0 : ends.back()));
        }
        m_archive->CloseArchive(true);

        for (std::size_t cut = 30; cut < bytes.size(); cut += 89) {
            SCOPED_TRACE(::testing::Message() << "cut at " << cut);
            g_repairMode = 0;
            Open(bytes.substr(0, cut), mode);
            const std::vector<CFileHeader> found = FetchAll(*m_archive);
            const std::vector<ExtractReport> salvaged = ExtractAll();
            for (std::size_t i = 0; i < found.size(); ++i) {
                // The cut may fall in its name.
                if (found[i].localHeaderOffset + kLocalHeaderSize + found[i].nameLength > cut)
                    continue;
                const auto expected = content.find(found[i].name);
                ASSERT_NE(expected, content.end()) << i;
                const std::string output = OutputOf(salvaged[i]);
                EXPECT_EQ(expected->second.compare(0, output.size(), output), 0)
                    << i << ": not a prefix of its content";
                const auto whole =
                    std::find_if(intact.begin(), intact.end(), [&](const CFileHeader& h) {
                        return h.localHeaderOffset == found[i].localHeaderOffset;
                    });
                if (whole != intact.end() && ends[whole - intact.begin()] <= cut) {
                    EXPECT_EQ(salvaged[i].outcome, ExtractReport::written) << i;
                    EXPECT_EQ(output.size(), expected->second.size()) << i;
                }
            }
            // Every entry whose records lie before the cut is found.
            const auto before = std::count_if(ends.begin(), ends.end(),
                                              [cut](std::uint64_t end) { return end <= cut; });
            EXPECT_GE(found.size(), static_cast<std::size_t>(before));
            m_archive->CloseArchive(true);
            if (HasFailure())
                return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterArchive,
                         ::testing::Values("python-zip64.zip", "python-zip64-stream.zip",
                                           "zip-pipe.zip", "zip-pipe-stream.zip",
                                           "bsdtar-zip64.zip"),
                         [](const auto& test) {
                             std::string name = test.param;
                             name = name.substr(0, name.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

struct DamagedCase {
    const char* what;
    std::string extra;
    std::uint32_t compressedField;
    std::uint32_t uncompressedField;
    std::optional<std::uint16_t> extraLength;
    ExtractReport::Outcome outcome;
    std::size_t bytes; // of the first entry's output
    std::size_t entries;
};

void PrintTo(const DamagedCase& c, std::ostream* out) {
    *out << c.what;
}

class DamagedZip64Field : public Zip64Test, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedZip64Field, FallsBackToWhatTheHeaderStillTells) {
    // A stored entry of 100 bytes whose Zip64 field is damaged, then an
    // intact one: never a crash or a giant allocation, and the next entry is
    // not lost unless a giant size hides it.
    const DamagedCase& c = GetParam();
    ZipWriter zip;
    zip.Add({.name = "x",
             .content = std::string(100, 'x'),
             .extra = c.extra,
             .compressedSize = c.compressedField,
             .uncompressedSize = c.uncompressedField,
             .extraLength = c.extraLength});
    zip.Add({.name = "y", .content = "yy"});
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        g_repairMode = 0;
        Open(zip.Bytes(), mode);
        ASSERT_EQ(m_archive->GetEntryCount(), c.entries);
        const std::vector<ExtractReport> reports = ExtractAll();
        EXPECT_EQ(reports[0].outcome, c.outcome) << reports[0].reason;
        EXPECT_EQ(OutputOf(reports[0]).size(), c.bytes);
        if (c.entries == 2) {
            EXPECT_EQ(reports[1].outcome, ExtractReport::written);
            EXPECT_EQ(OutputOf(reports[1]), "yy");
        }
        m_archive->CloseArchive(true);
    }
}

constexpr std::uint32_t kMarker = 0xFFFFFFFF;

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedZip64Field,
    ::testing::Values(
        // Sizes sent to a field that is not there, or holds one of them:
        // unknown, so the data is read up to the next header, and kept partial.
        DamagedCase{"no field", "", kMarker, kMarker, {}, ExtractReport::partial, 100, 2},
        DamagedCase{"one value",
                    Zip64FieldBytes({100}),
                    kMarker,
                    kMarker,
                    {},
                    ExtractReport::partial,
                    100,
                    2},
        // The header's extra length cuts the field: its bytes left over
        // belong to the data.
        DamagedCase{"cut by the extra length", Zip64FieldBytes({100, 100}), kMarker, kMarker, 12,
                    ExtractReport::partial, 108, 2},
        // A field that claims more than the extra bytes hold gives what they hold.
        DamagedCase{"length past the extra bytes",
                    std::string("\x01\x00\x18\x00", 4) + Zip64FieldBytes({100, 100}).substr(4),
                    kMarker,
                    kMarker,
                    {},
                    ExtractReport::written,
                    100,
                    2},
        // Only the field that holds the marker is taken from it.
        DamagedCase{"only one size sent",
                    Zip64FieldBytes({100}),
                    100,
                    kMarker,
                    {},
                    ExtractReport::written,
                    100,
                    2},
        DamagedCase{
            "no marker", Zip64FieldBytes({999, 999}), 100, 100, {}, ExtractReport::written, 100, 2},
        // A giant size would step past the end: the walk goes on byte by
        // byte and finds the next entry; the data is read in pieces to the
        // end of the file.
        DamagedCase{"giant sizes",
                    Zip64FieldBytes({std::uint64_t{1} << 62, std::uint64_t{1} << 62}),
                    kMarker,
                    kMarker,
                    {},
                    ExtractReport::partial,
                    100 + 30 + 1 + 2,
                    2}),
    [](const auto& test) {
        std::string name = test.param.what;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

// The CRC-32 of `count` zero bytes, without reading them.
std::uint32_t ZerosCrc(std::uint64_t count) {
    const unsigned char zero = 0;
    uLong block = crc32(0, &zero, 1);
    uLong result = crc32(0, nullptr, 0);
    for (std::uint64_t length = 1; count != 0; count >>= 1, length <<= 1) {
        if (count & 1)
            result = crc32_combine(result, block, static_cast<z_off_t>(length));
        block = crc32_combine(block, block, static_cast<z_off_t>(length));
    }
    return static_cast<std::uint32_t>(result);
}

// Six GiB that exist only in memory: a streamed entry of 4.25 GiB whose
// sizes are in the Zip64 descriptor after it, entries past 4 GiB with and
// without Zip64 fields, and a directory with Zip64 offsets.
struct VirtualArchive {
    explicit VirtualArchive(bool garbleMiddle) {
        std::uint64_t at = 0;
        auto place = [&](const std::string& bytes) {
            if (!bytes.empty())
                m_pieces.emplace_back(at, bytes);
            at += bytes.size();
        };
        ZipWriter directory;
        // A local header at `at` (0xFFFFFFFF sizes sent to a Zip64 field when
        // `zip64`), and its central header with Zip64 values.
        auto entry = [&](const std::string& name, std::uint16_t flags, std::uint16_t method,
                         std::uint32_t crc, std::uint64_t size, std::uint64_t usize, bool zip64) {
            const bool streamed = flags != 0;
            const std::string extra = zip64 ? Zip64FieldBytes({usize, size}) : "";
            std::string header = LocalHeaderBytes(20, flags, method, 0, 0x5A21, streamed ? 0 : crc,
                                                  zip64      ? kMarker
                                                  : streamed ? 0
                                                             : static_cast<std::uint32_t>(size),
                                                  zip64      ? kMarker
                                                  : streamed ? 0
                                                             : static_cast<std::uint32_t>(usize),
                                                  name, static_cast<std::uint16_t>(name.size()),
                                                  extra, static_cast<std::uint16_t>(extra.size()));
            if (garbleMiddle && name == "middle.txt")
                header[3] = 0x05;
            offsets.push_back(at);
            // Another spelling of the same length: the quick scan takes it,
            // and the streamed entry's sizes must come from its descriptor
            // (a record of another name is not its own).
            const bool respelled = name == "last.txt" || name == "stream.bin";
            std::string central = name;
            if (respelled)
                std::transform(central.begin(), central.end(), central.begin(), ::toupper);
            directory.AddCentral({.name = central,
                                  .localHeaderOffset = at,
                                  .compressedSize = size,
                                  .uncompressedSize = usize,
                                  .crc = crc,
                                  .method = method,
                                  .zip64 = at > 0});
            place(header);
        };

        entry("first.txt", 0, 0, Crc32(first), first.size(), first.size(), false);
        place(first);
        entry("stream.bin", 8, 0, ZerosCrc(streamSize), streamSize, streamSize, false);
        at += streamSize;
        place(DescriptorBytes(ZerosCrc(streamSize), streamSize, streamSize, true, true));
        entry("middle.txt", 0, 0, Crc32(middle), middle.size(), middle.size(), false);
        place(middle);
        entry("filler.bin", 0, 0, ZerosCrc(fillerSize), fillerSize, fillerSize, true);
        at += fillerSize;
        const std::string lastData = Deflate(last);
        entry("last.txt", 0, 8, Crc32(last), lastData.size(), last.size(), true);
        place(lastData);

        const std::uint64_t directoryStart = at;
        directory.AddRaw(Zip64EndRecordsBytes(offsets.size(), directory.Size(), directoryStart));
        directory.AddEndRecord(0xFFFF, kMarker, kMarker);
        place(directory.Bytes());
        length = at;
        lastCompressed = lastData.size();
    }

    std::shared_ptr<VirtualSource> Source() const {
        auto source = std::make_shared<VirtualSource>(length);
        for (const auto& [offset, bytes] : m_pieces)
            source->Place(offset, bytes);
        return source;
    }

    const std::string first = "the first entry\n";
    const std::string middle = "an entry past 4 GiB\n";
    const std::string last = "the last entry, near 6 GiB\n";
    const std::uint64_t streamSize = 4 * kGiB + kGiB / 4;
    const std::uint64_t fillerSize = kGiB + kGiB * 3 / 4 - 4096;
    std::vector<std::uint64_t> offsets;
    std::uint64_t length = 0;
    std::uint64_t lastCompressed = 0;

private:
    std::vector<std::pair<std::uint64_t, std::string>> m_pieces;
};

class SixGibibytes : public Zip64Test {
protected:
    void OpenVirtual(const VirtualArchive& archive, int mode) {
        g_repairMode = mode;
        m_progress.reports.clear();
        m_archive->SetScanObserver(&m_progress);
        m_archive->OpenArchive(archive.Source(), L"virtual.zip");
        m_archive->SetScanObserver(nullptr);
    }
    RecordedProgress m_progress;
};

TEST_F(SixGibibytes, EveryEntryIsFoundWithItsSixtyFourBitValuesAndSalvaged) {
    const VirtualArchive archive(false);
    ASSERT_GT(archive.length, 6 * kGiB - 4 * 1024 * 1024);
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode == 0 ? "quick" : "advanced");
        OpenVirtual(archive, mode);
        const std::vector<CFileHeader> entries = FetchAll(*m_archive);
        ASSERT_EQ(entries.size(), 5u);
        const std::vector<std::wstring> names = {L"first.txt", L"STREAM.BIN", L"middle.txt",
                                                 L"filler.bin", L"LAST.TXT"};
        const std::vector<std::uint64_t> sizes = {archive.first.size(), archive.streamSize,
                                                  archive.middle.size(), archive.fillerSize,
                                                  archive.lastCompressed};
        for (std::size_t i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(entries[i].name, names[i]);
            EXPECT_EQ(entries[i].localHeaderOffset, archive.offsets[i]);
            EXPECT_EQ(entries[i].compressedSize, sizes[i]);
            EXPECT_FALSE(entries[i].openEnded);
        }
        EXPECT_EQ(entries[1].uncompressedSize, archive.streamSize);
        EXPECT_EQ(entries[1].storedCrc, ZerosCrc(archive.streamSize));
        EXPECT_EQ(entries[4].uncompressedSize, archive.last.size());

        // The reports carry 64-bit positions out of the whole length.
        ASSERT_FALSE(m_progress.reports.empty());
        std::uint64_t furthest = 0;
        for (const auto& [position, total] : m_progress.reports) {
            EXPECT_EQ(total, archive.length);
            furthest = std::max(furthest, position);
        }
        EXPECT_GT(furthest, 4 * kGiB);

        const std::vector<ExtractReport> reports = [&] {
            std::vector<ExtractReport> out(5);
            for (std::size_t i : {0, 2, 4})
                m_archive->ExtractEntryTo(i, Wide(Out()), 65535, &out[i]);
            return out;
        }();
        EXPECT_EQ(OutputOf(reports[0]), archive.first);
        EXPECT_EQ(OutputOf(reports[2]), archive.middle);
        EXPECT_EQ(OutputOf(reports[4]), archive.last);
        for (std::size_t i : {0, 2, 4})
            EXPECT_EQ(reports[i].outcome, ExtractReport::written) << i << reports[i].reason;
        m_archive->CloseArchive(true);
    }
}

TEST_F(SixGibibytes, AnEntryOfMoreThanFourGibibytesIsReadWholeInPieces) {
    const VirtualArchive archive(false);
    OpenVirtual(archive, 0);
    ASSERT_TRUE(m_archive->BeginEntryRead(1));
    std::vector<unsigned char> chunk(65535);
    std::uint64_t total = 0;
    uLong crc = crc32(0, nullptr, 0);
    for (std::uint32_t n; (n = m_archive->ReadEntryData(chunk.data(), 65535)) > 0;) {
        crc = crc32(crc, chunk.data(), n);
        total += n;
    }
    EXPECT_EQ(total, archive.streamSize);
    EXPECT_EQ(crc, ZerosCrc(archive.streamSize));
    EXPECT_EQ(m_archive->m_decodeError, 0);
    EXPECT_FALSE(m_archive->m_storage.m_truncated);
    // Its Zip64 descriptor is checked and agrees.
    EXPECT_TRUE(m_archive->EndEntryRead(nullptr));
}

TEST_F(SixGibibytes, AnEntryOnlyTheDirectoryKnowsIsFoundPastFourGibibytes) {
    const VirtualArchive archive(true);
    OpenVirtual(archive, 1);
    const std::vector<CFileHeader> entries = FetchAll(*m_archive);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[4].name, L"middle.txt");
    EXPECT_EQ(entries[4].localHeaderOffset, archive.offsets[2]);
    ExtractReport report;
    m_archive->ExtractEntryTo(4, Wide(Out()), 65535, &report);
    EXPECT_EQ(OutputOf(report), archive.middle);
}

TEST_F(Zip64Test, ReadFaultsEndTheScanOrTheEntryAndKeepWhatCameBefore) {
    // 3 MiB stored, a small entry, 3 MiB of nothing, then the faulty spot.
    const std::string big = NoiseBytes(3 << 20, 5);
    ZipWriter zip;
    zip.Add({.name = "big.bin", .content = big});
    zip.Add({.name = "small.txt", .content = "small"});
    zip.AddRaw(std::string(3 << 20, '\0'));
    zip.Add({.name = "beyond.txt", .content = "beyond"});
    const std::string bytes = zip.Bytes();
    auto source = [&bytes](std::uint64_t from, std::uint64_t to) {
        auto faulty = std::make_shared<VirtualSource>(bytes.size());
        faulty->Place(0, bytes);
        faulty->FailReadsIn(from, to);
        return faulty;
    };

    // A bad spot the scan reads: the entries before it stay.
    const std::uint64_t beyond = zip.Entry(2).headerOffset;
    EXPECT_THROW(m_archive->OpenArchive(source(beyond, beyond + 10), L"faulty.zip"),
                 CFileException);
    const std::vector<CFileHeader> kept = FetchAll(*m_archive);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1].name, L"small.txt");
    m_archive->CloseArchive(true);

    // A bad spot in an entry's data: that entry ends with what was read
    // before it, and the next one is read.
    g_repairMode = 0;
    // (Past the scan's 2 MiB read-ahead, which the step over the data skips.)
    const std::uint64_t bad = zip.Entry(0).dataOffset + (5 << 19);
    m_archive->OpenArchive(source(bad, bad + 1), L"faulty.zip");
    ASSERT_EQ(m_archive->GetEntryCount(), 3u);
    ExtractReport report;
    EXPECT_THROW(m_archive->ExtractEntryTo(0, Wide(Out()), 65535, &report), CFileException);
    const std::string partial = OutputOf(report);
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), big.size());
    EXPECT_EQ(big.compare(0, partial.size(), partial), 0);
    EXPECT_EQ(m_archive->m_readState, CZipArchive::readNone);
    EXPECT_TRUE(m_archive->ExtractEntryTo(1, Wide(Out()), 65535, &report));
    EXPECT_EQ(report.outcome, ExtractReport::written);
    EXPECT_EQ(OutputOf(report), "small");
}

} // namespace
} // namespace kvtest
