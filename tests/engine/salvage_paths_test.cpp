// Neither the fast decoder nor extracting on several threads may change
// what is salvaged: every archive is extracted with zlib alone on one
// thread, with the fast decoder, and on three threads (and tested without
// writing on three), and the verdicts, CRCs and files must agree entry by
// entry, in order, and byte by byte.
#include "engine/fast_inflate.h"
#include "engine/parallel_extraction.h"
#include "fuzz/salvage_sequence.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace kvtest {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceRoot = fs::path(__FILE__).parent_path().parent_path().parent_path();

class DecoderScope {
public:
    explicit DecoderScope(bool fast) : m_saved(g_fastInflate) { g_fastInflate = fast; }
    ~DecoderScope() { g_fastInflate = m_saved; }

private:
    bool m_saved;
};

// One scan of `source` and its extraction below `out` on `jobs` threads;
// with `out` empty, the entries are only decoded and judged.
std::vector<ExtractReport> ExtractOnThreads(const std::shared_ptr<const CByteSource>& source,
                                            const fs::path& out, int mode, unsigned jobs) {
    g_repairMode = 0;
    g_repairMode = mode;
    CZipArchive archive;
    try {
        archive.OpenArchive(source, L"input.zip");
    } catch (const CException&) {
        // The entries found before the error are extracted.
    }
    std::vector<ExtractReport> reports;
    ExtractInEntryOrder<ExtractReport>(
        archive, jobs,
        [&out](CZipArchive& reader, std::size_t i) {
            ExtractReport report;
            try {
                if (out.empty())
                    reader.TestEntry(i, 65535, report);
                else
                    reader.ExtractEntryTo(i, Wide(out), 65535, &report);
            } catch (const CException&) {
                report.outcome = ExtractReport::failed;
            }
            return report;
        },
        [&reports](std::size_t i, ExtractReport& report) {
            EXPECT_EQ(i, reports.size()) << "reported out of order";
            reports.push_back(report);
        },
        [] { return false; }, !out.empty());
    archive.CloseArchive(true);
    g_repairMode = 0;
    return reports;
}

// Both scans of `bytes`, extracted each way, compared with zlib on one thread.
void ExpectSameSalvage(const std::string& bytes, const std::string& label) {
    SCOPED_TRACE(label);
    TempDir work;
    WriteFileBytes(work / "input.zip", bytes);
    const auto source = std::make_shared<CFileSource>(Wide(work / "input.zip"));
    for (int mode : {0, 1}) {
        const fs::path zlibOut = work / ("zlib" + std::to_string(mode));
        const fs::path fastOut = work / ("fast" + std::to_string(mode));
        const fs::path threadsOut = work / ("threads" + std::to_string(mode));
        for (const fs::path& out : {zlibOut, fastOut, threadsOut})
            fs::create_directories(out);
        std::vector<ExtractReport> zlib, fast;
        {
            DecoderScope decoder(false);
            zlib = kvzip_fuzz::RunScan(source, L"input.zip", Wide(zlibOut), mode, false).reports;
        }
        fast = kvzip_fuzz::RunScan(source, L"input.zip", Wide(fastOut), mode, false).reports;
        std::vector<ExtractReport> threads = ExtractOnThreads(source, threadsOut, mode, 3);
        std::vector<ExtractReport> tested = ExtractOnThreads(source, fs::path(), mode, 3);
        for (const auto& [way, runs, out] :
             {std::tuple{"fast decoder", &fast, &fastOut},
              std::tuple{"three threads", &threads, &threadsOut},
              std::tuple{"tested on three threads", &tested, &zlibOut}}) {
            SCOPED_TRACE(way);
            ASSERT_EQ(runs->size(), zlib.size());
            for (std::size_t i = 0; i < zlib.size(); ++i) {
                const ExtractReport& expected = zlib[i];
                const ExtractReport& got = (*runs)[i];
                SCOPED_TRACE("mode " + std::to_string(mode) + ", entry " + std::to_string(i));
                EXPECT_EQ(got.verdict, expected.verdict);
                EXPECT_EQ(got.crc, expected.crc);
                EXPECT_EQ(got.crcExpected, expected.crcExpected);
                EXPECT_EQ(got.expectedCrc, expected.expectedCrc);
                if (runs == &tested)
                    continue; // nothing written: no outcome, path or file
                EXPECT_EQ(got.outcome, expected.outcome);
                EXPECT_EQ(got.reason, expected.reason);
                EXPECT_EQ(got.bytesWritten, expected.bytesWritten);
                EXPECT_EQ(got.renamed, expected.renamed);
                const fs::path expectedPath = platform::EncodeLocal(expected.outputPath);
                const fs::path gotPath = platform::EncodeLocal(got.outputPath);
                EXPECT_EQ(gotPath.lexically_relative(*out),
                          expectedPath.lexically_relative(zlibOut));
                if (expected.outcome != ExtractReport::written &&
                    expected.outcome != ExtractReport::partial)
                    continue;
                EXPECT_TRUE(
                    SameBytes(ReadFileBytes(gotPath), ReadFileBytes(expectedPath).value_or("")))
                    << expectedPath;
            }
        }
    }
}

std::vector<fs::path> ArchivesIn(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder, error))
        if (item.is_regular_file())
            found.push_back(item.path());
    std::sort(found.begin(), found.end());
    return found;
}

class SalvagePaths : public EngineTest {};

TEST_F(SalvagePaths, AllAgreeOnEveryKeptArchive) {
    std::vector<fs::path> archives;
    for (const char* folder :
         {"fuzz/corpus", "tests/data/fuzz", "tests/data/zip64", "tests/data/methods"})
        for (const fs::path& path : ArchivesIn(kSourceRoot / folder))
            archives.push_back(path);
    archives.push_back(kSourceRoot / "samples" / "damaged-backup.zip");
    ASSERT_GT(archives.size(), 20u) << "the kept archives are missing";
    for (const fs::path& path : archives) {
        const std::optional<std::string> bytes = ReadFileBytes(path);
        ASSERT_TRUE(bytes) << path;
        ExpectSameSalvage(*bytes, path.filename().string());
    }
}

// Deflated entries of every kind the decoder meets (text, incompressible
// bytes in stored blocks, a descriptor after the data, an empty stream),
// then cut, flipped and shortened at random places.
TEST_F(SalvagePaths, AllAgreeOnRandomDamage) {
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + " of the salvaged text\n";
    ZipWriter zip;
    zip.Add({.name = "text.txt", .content = text, .method = 8});
    zip.Add({.name = "noise.bin", .content = NoiseBytes(70000, 3), .method = 8});
    zip.Add({.name = "streamed.txt",
             .content = text.substr(1000, 90000),
             .method = 8,
             .descriptor = DescriptorForm::withSignature});
    zip.Add({.name = "empty.txt", .content = "", .method = 8});
    zip.Add({.name = "small.txt", .content = text.substr(0, 5000), .method = 8});
    zip.AddCentralDirectory();
    const std::string sound = zip.Bytes();

    // Sound, the fast decoder takes every entry with data.
    CZipArchive& archive = Open(sound);
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i)
        archive.ExtractEntryTo(i, Wide(Out()), 65535);
    EXPECT_EQ(archive.m_fastEntries, FastInflateBuilt() && g_fastInflate ? 5u : 0u);
    ExpectSameSalvage(sound, "sound");

    const unsigned seed = std::random_device{}();
    std::printf("SalvagePaths random damage seed: %u\n", seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto anywhere = [&random](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    for (int round = 0; round < 24; ++round) {
        std::string bytes = sound;
        std::string label;
        // Damage inside some entry's data, where the decoders differ.
        const WrittenEntry& entry = zip.Entry(anywhere(zip.Entries().size()));
        const std::size_t inData = entry.dataOffset + anywhere(std::max(entry.dataSize, 1u));
        switch (round % 3) {
        case 0:
            Truncate(bytes, inData);
            label = "cut at " + std::to_string(inData);
            break;
        case 1:
            FlipByte(bytes, inData, static_cast<unsigned char>(1u << anywhere(8)));
            label = "bit flipped at " + std::to_string(inData);
            break;
        default:
            DropRange(bytes, inData, 1 + anywhere(64));
            label = "bytes dropped at " + std::to_string(inData);
            break;
        }
        ExpectSameSalvage(bytes, label);
    }
}

// Entries too big to decode whole are decoded as they are read: sound, the
// streaming decoder takes them; damaged early or late (after some of the
// entry is written), zlib reads them again and the files must still be
// zlib's byte for byte.
TEST_F(SalvagePaths, LargeEntriesAgreeSoundAndDamaged) {
    std::string text;
    for (int i = 0; text.size() < 6 << 20; ++i)
        text += "row " + std::to_string(i * 7919 % 100003) + " of a large salvaged table\n";
    ZipWriter zip;
    zip.Add({.name = "large.txt", .content = text, .method = 8});
    zip.Add({.name = "noise.bin", .content = NoiseBytes(5 << 20, 5), .method = 8});
    zip.Add({.name = "stored.bin", .content = NoiseBytes(1 << 20, 6), .method = 0});
    zip.AddCentralDirectory();
    const std::string sound = zip.Bytes();

    CZipArchive& archive = Open(sound);
    for (std::size_t i = 0; i < archive.GetEntryCount(); ++i)
        archive.ExtractEntryTo(i, Wide(Out()), 65535);
    EXPECT_EQ(archive.m_fastEntries, StreamingInflateBuilt() && g_fastInflate ? 2u : 0u);
    ExpectSameSalvage(sound, "sound");

    const WrittenEntry& large = zip.Entry(0);
    const WrittenEntry& noise = zip.Entry(1);
    struct Damage {
        const char* label;
        std::size_t at;
        int kind; // 0 cut, 1 flip, 2 drop
    };
    for (const Damage& damage : {
             Damage{"large: flipped near its start", large.dataOffset + 100, 1},
             Damage{"large: flipped near its end", large.dataOffset + large.dataSize - 200, 1},
             Damage{"large: bytes dropped in the middle", large.dataOffset + large.dataSize / 2, 2},
             Damage{"large: cut in the middle", large.dataOffset + large.dataSize / 2, 0},
             Damage{"noise: flipped in its last stored block",
                    noise.dataOffset + noise.dataSize - 9, 1},
         }) {
        std::string bytes = sound;
        if (damage.kind == 0)
            Truncate(bytes, damage.at);
        else if (damage.kind == 1)
            FlipByte(bytes, damage.at, 0x10);
        else
            DropRange(bytes, damage.at, 7);
        ExpectSameSalvage(bytes, damage.label);
    }
}

} // namespace
} // namespace kvtest

namespace kvtest {
namespace {

// Many entries in folders (with folder entries), then the same again with
// two stored names that land on one path: the first runs on the threads,
// the second must be extracted one by one ("(2)" goes to the later entry).
TEST_F(SalvagePaths, ThreadsAgreeWhereNamesShareFoldersOrPaths) {
    ZipWriter zip;
    zip.Add({.name = "top/"});
    for (int i = 0; i < 40; ++i)
        zip.Add({.name = "top/d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt",
                 .content = NoiseBytes(1000 + 300 * i, i) + std::string(2000, 'x'),
                 .method = static_cast<std::uint16_t>(i % 3 == 0 ? 0 : 8)});
    ExpectSameSalvage(zip.Bytes(), "independent outputs");
    zip.Add({.name = "top\\d1\\f1.txt", .content = "another name, the same path"});
    ExpectSameSalvage(zip.Bytes(), "one path for two names");
}

// A stop ends the run between entries: what was reported is a run of
// entries from the first, and each of those files is whole.
TEST_F(SalvagePaths, StopOnThreadsReportsEveryEntryBegunAndNoMore) {
    ZipWriter zip;
    std::vector<std::string> contents;
    for (int i = 0; i < 60; ++i) {
        contents.push_back(NoiseBytes(20000, 100 + i));
        zip.Add({.name = "f" + std::to_string(i), .content = contents.back(), .method = 8});
    }
    CZipArchive& archive = Open(zip.Bytes());
    std::vector<std::size_t> reported;
    std::atomic<std::size_t> reportedCount = 0;
    const std::size_t reportedInAll = ExtractInEntryOrder<ExtractReport>(
        archive, 3,
        [this](CZipArchive& reader, std::size_t i) {
            ExtractReport report;
            reader.ExtractEntryTo(i, Wide(Out()), 65535, &report);
            return report;
        },
        [&](std::size_t i, ExtractReport& report) {
            reported.push_back(i);
            ++reportedCount;
            EXPECT_EQ(report.outcome, ExtractReport::written) << i;
            EXPECT_TRUE(SameBytes(ReadFileBytes(Out() / ("f" + std::to_string(i))), contents[i]));
        },
        [&reportedCount] { return reportedCount >= 5; });
    EXPECT_EQ(reportedInAll, reported.size());
    ASSERT_GE(reported.size(), 5u);
    EXPECT_LE(reported.size(), 5u + 3u * 8u); // at most the entries already begun
    for (std::size_t k = 0; k < reported.size(); ++k)
        EXPECT_EQ(reported[k], k);
    EXPECT_FALSE(std::filesystem::exists(Out() / "f59")) << "begun after the stop";

    // A report step that throws (a stop unwinding the saving pass) ends the
    // run there once the threads are done, and the exception comes out.
    struct Unwound {};
    std::size_t lastReported = 0;
    EXPECT_THROW(ExtractInEntryOrder<ExtractReport>(
                     archive, 3,
                     [this](CZipArchive& reader, std::size_t i) {
                         ExtractReport report;
                         reader.ExtractEntryTo(i, Wide(Out() / "again"), 65535, &report);
                         return report;
                     },
                     [&lastReported](std::size_t i, ExtractReport&) {
                         lastReported = i;
                         if (i == 3)
                             throw Unwound{};
                     },
                     [] { return false; }),
                 Unwound);
    EXPECT_EQ(lastReported, 3u);
    EXPECT_FALSE(std::filesystem::exists(Out() / "again" / "f59")) << "the run went on";
}

} // namespace
} // namespace kvtest
