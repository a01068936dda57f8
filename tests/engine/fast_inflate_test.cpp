// The fast decoder must never change what is salvaged: every archive is
// extracted with it and with zlib alone, and both results must agree entry
// by entry and byte by byte.
#include "engine/fast_inflate.h"
#include "fuzz/salvage_sequence.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
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

// Both scans of `bytes`, extracted once per decoder, compared.
void ExpectSameSalvage(const std::string& bytes, const std::string& label) {
    SCOPED_TRACE(label);
    TempDir work;
    WriteFileBytes(work / "input.zip", bytes);
    const auto source = std::make_shared<CFileSource>(Wide(work / "input.zip"));
    for (int mode : {0, 1}) {
        std::vector<ExtractReport> runs[2];
        for (bool fast : {true, false}) {
            const fs::path out =
                work / (std::string(fast ? "fast" : "zlib") + std::to_string(mode));
            fs::create_directories(out);
            DecoderScope decoder(fast);
            runs[fast] = kvzip_fuzz::RunScan(source, L"input.zip", Wide(out), mode, false).reports;
        }
        ASSERT_EQ(runs[0].size(), runs[1].size());
        for (std::size_t i = 0; i < runs[0].size(); ++i) {
            const ExtractReport& zlib = runs[0][i];
            const ExtractReport& fast = runs[1][i];
            SCOPED_TRACE("mode " + std::to_string(mode) + ", entry " + std::to_string(i));
            EXPECT_EQ(fast.outcome, zlib.outcome);
            EXPECT_STREQ(fast.reason, zlib.reason);
            EXPECT_EQ(fast.bytesWritten, zlib.bytesWritten);
            if (zlib.outcome != ExtractReport::written && zlib.outcome != ExtractReport::partial)
                continue;
            const fs::path zlibPath = platform::EncodeLocal(zlib.outputPath);
            EXPECT_TRUE(SameBytes(ReadFileBytes(platform::EncodeLocal(fast.outputPath)),
                                  ReadFileBytes(zlibPath).value_or("")))
                << zlibPath;
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

class FastInflate : public EngineTest {};

TEST_F(FastInflate, SalvagesWhatZlibSalvagesFromEveryKeptArchive) {
    std::vector<fs::path> archives;
    for (const char* folder : {"fuzz/corpus", "tests/data/fuzz", "tests/data/zip64"})
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
TEST_F(FastInflate, SalvagesWhatZlibSalvagesFromRandomDamage) {
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
    std::printf("FastInflate random damage seed: %u\n", seed);
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

} // namespace
} // namespace kvtest
