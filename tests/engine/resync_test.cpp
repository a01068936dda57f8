// Salvage past damage in deflated and bzip2 data: what comes back after a
// damaged stretch, and that no byte it vouches for is wrong.
#include "engine/entry_decoder.h"
#include "tests/engine/engine_fixture.h"

#if __has_include(<bzlib.h>)
#include <bzlib.h>
#endif
#if __has_include(<zstd.h>)
#include <zstd.h>
#endif
#include <zlib.h>

namespace kvtest {
namespace {

// Text in the shape of prose or of source code, made from a seeded
// vocabulary: long enough for many deflate blocks.
std::string GeneratedText(bool code, std::size_t size) {
    std::vector<std::string> words;
    std::uint32_t x = code ? 77 : 5;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int i = 0; i < 3000; ++i) {
        std::string word;
        const std::uint32_t length = 2 + next() % 9;
        for (std::uint32_t j = 0; j < length; ++j)
            word += static_cast<char>('a' + next() % 26);
        words.push_back(word);
    }
    std::string text;
    for (std::uint32_t line = 0; text.size() < size; ++line) {
        if (code) {
            text += "    " + words[next() % 300] + "_" + std::to_string(line % 97) + " = " +
                    words[next() % 3000] + "(" + words[next() % 300] + ", " +
                    std::to_string(next() % 1000) + ");\n";
            continue;
        }
        const std::uint32_t count = 5 + next() % 15;
        for (std::uint32_t i = 0; i < count; ++i)
            text += (i == 0 ? "" : " ") + words[next() % (i % 3 == 0 ? 3000 : 200)];
        text += line % 7 == 0 ? ".\n\n" : ". ";
    }
    text.resize(size);
    return text;
}

enum class Damage { zeros512, flip3, noise4k };

struct DamageCase {
    bool code;
    Damage damage;
    double position; // of the compressed data
    std::uint16_t method = 8;
};

std::ostream& operator<<(std::ostream& out, const DamageCase& c) {
    const char* names[] = {"zeros512", "flip3", "noise4k"};
    return out << (c.code ? "code " : "prose ") << names[static_cast<int>(c.damage)] << " at "
               << c.position << " method " << c.method;
}

// bzip2 blocks of 100 kB, as `bzip2 -1` packs them; empty without libbz2.
constexpr std::size_t kBlock = 100000;
std::string Bzip2(const std::string& text) {
#if __has_include(<bzlib.h>)
    std::string packed(text.size() + text.size() / 50 + 1024, '\0');
    auto size = static_cast<unsigned>(packed.size());
    if (BZ2_bzBuffToBuffCompress(packed.data(), &size, const_cast<char*>(text.data()),
                                 static_cast<unsigned>(text.size()), 1, 0, 0) != BZ_OK)
        return {};
    packed.resize(size);
    return packed;
#else
    return {};
#endif
}

// Zstandard frames of 100 kB each, one after the other, as parallel
// writers make them; empty without libzstd.
std::string ZstdFrames(const std::string& text) {
    std::string packed;
#if __has_include(<zstd.h>)
    for (std::size_t at = 0; at < text.size(); at += kBlock) {
        const std::size_t size = std::min(kBlock, text.size() - at);
        std::string frame(ZSTD_compressBound(size), '\0');
        const std::size_t made =
            ZSTD_compress(frame.data(), frame.size(), text.data() + at, size, 3);
        if (ZSTD_isError(made))
            return {};
        packed += frame.substr(0, made);
    }
#endif
    return packed;
}

void Apply(std::string& archive, std::size_t at, Damage damage) {
    switch (damage) {
    case Damage::zeros512:
        Overwrite(archive, at, std::string(512, '\0'));
        break;
    case Damage::flip3:
        FlipByte(archive, at, 0x10);
        FlipByte(archive, at + 3, 0x02);
        FlipByte(archive, at + 7, 0x40);
        break;
    case Damage::noise4k:
        Overwrite(archive, at, NoiseBytes(4096, 9));
        break;
    }
}

// What deflated `data` decodes to, damage and all, up to where it fails:
// past damage that decodes "validly", longer or shorter than the original.
std::string InflateAsFarAsItGoes(const std::string& data) {
    z_stream stream{};
    std::string out;
    if (inflateInit2(&stream, -15) != Z_OK)
        return out;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    std::array<char, 65536> chunk;
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_out = chunk.size();
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(chunk.data(), chunk.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    return out;
}

std::size_t SameAt(const std::string& a, const std::string& b) {
    std::size_t same = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        same += a[i] == b[i];
    return same;
}

class Resync : public EngineTest, public ::testing::WithParamInterface<DamageCase> {
protected:
    std::string ExtractWith(bool resync, ExtractReport& report) {
        const std::filesystem::path folder = Out() / (resync ? "on" : "off");
        ExtractSafeguards safeguards;
        safeguards.destination = Wide(folder);
        safeguards.resync = resync;
        m_archive->ExtractEntryTo(0, Wide(folder), 65535, &report, &safeguards);
        return ReadFileBytes(folder / "text.txt").value_or("");
    }
};

TEST_P(Resync, BringsBackTheTextAfterTheDamageAndVouchesOnlyForRightBytes) {
    const DamageCase c = GetParam();
    // bzip2 and Zstandard entries of four blocks or frames, the damage in
    // one of the middle ones.
    const bool blocks = c.method != 8;
    const std::string text = GeneratedText(c.code, blocks ? 3 * kBlock + 50000 : 600000);
    std::optional<std::string> packed;
    if (blocks) {
        packed = c.method == 12 ? Bzip2(text) : ZstdFrames(text);
        if (!MethodBuilt(c.method) || packed->empty())
            GTEST_SKIP() << "no decoder of method " << c.method << " in this build";
    }
    ZipWriter zip;
    const WrittenEntry entry = zip.Entry(
        zip.Add({.name = "text.txt", .content = text, .method = c.method, .rawData = packed}));
    zip.AddCentralDirectory();
    std::string bytes = zip.Bytes();
    Apply(bytes, entry.dataOffset + static_cast<std::size_t>(entry.dataSize * c.position),
          c.damage);
    Open(bytes);
    const std::string straight =
        c.method == 8 ? InflateAsFarAsItGoes(bytes.substr(entry.dataOffset, entry.dataSize)) : "";

    ExtractReport off;
    ExtractReport on;
    const std::string before = ExtractWith(false, off);
    const std::string after = ExtractWith(true, on);
    const std::size_t sameBefore = SameAt(before, text);
    const std::size_t sameAfter = SameAt(after, text);
    EXPECT_FALSE(off.resync);
    // Every bzip2 block carries its own CRC: damage never decodes validly;
    // nor does a Zstandard frame without one here.
    ASSERT_TRUE(on.resync || !blocks);
    if (!on.resync) {
        // The damage decoded "validly": without a failure nothing changes.
        EXPECT_EQ(after, before);
        return;
    }
    EXPECT_EQ(on.verdict, Verdict::partial);
    EXPECT_LE(after.size(), text.size());
    EXPECT_EQ(on.bytesWritten, after.size());
    EXPECT_EQ(on.crc, Crc32(after));

    // Every byte outside the lost and unknown stretches is the original;
    // unknown ones are zeros, right (where the ranges were merged), or,
    // where the data decoded to its end in step past the damage, what that
    // decoding gave as far from its end; "recovered" counts only right bytes.
    std::vector<char> vouched(after.size(), 1);
    for (const ByteRange& range : on.resync->lost)
        std::fill_n(vouched.begin() + range.offset, range.length, 0);
    std::size_t unknown = 0;
    std::size_t wrong = 0;
    for (const ByteRange& range : on.resync->unknown) {
        for (std::size_t i = range.offset; i < range.offset + range.length; ++i) {
            const std::size_t fromEnd = after.size() - i;
            const bool inStep = after.size() == text.size() && fromEnd <= straight.size() &&
                                after[i] == straight[straight.size() - fromEnd];
            wrong += after[i] != '\0' && after[i] != text[i] && !inStep;
            vouched[i] = 0;
        }
        unknown += range.length;
    }
    EXPECT_GE(unknown, on.resync->unknownBytes);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
        kept += vouched[i];
        wrong += vouched[i] != 0 && after[i] != text[i];
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_LE(kept, on.resync->recovered);
    EXPECT_LE(on.resync->recovered, sameAfter);
    EXPECT_TRUE(on.reason.find(GroupedDigits(on.resync->recovered) + " of " +
                               GroupedDigits(text.size()) + " bytes recovered") == 0)
        << on.reason;

    // Something of what the damage cost comes back, and nothing that came
    // back before is lost. Text made from a small vocabulary copies from the
    // lost bytes more than real text does (bench/resync_bench.py measures
    // that share on real text).
    EXPECT_GT(sameAfter, sameBefore + (text.size() - sameBefore) / 20)
        << sameBefore << " right before, " << sameAfter << " after, of " << text.size();

    // bzip2 blocks and Zstandard frames reach back into no other: only the
    // damaged one is lost, and every one after it stands at its offset.
    if (blocks) {
        EXPECT_EQ(after.size(), text.size());
        ASSERT_EQ(on.resync->lost.size(), 1u) << on.reason;
        EXPECT_LE(on.resync->lost[0].length, kBlock) << on.reason << " before " << before.size();
        EXPECT_EQ(on.resync->unknownBytes, 0u);
        EXPECT_FALSE(on.resync->estimated);
        EXPECT_EQ(on.resync->recovered, text.size() - on.resync->lost[0].length);
        EXPECT_NE(on.reason.find(" bytes lost at " + GroupedDigits(on.resync->lost[0].offset)),
                  std::string::npos)
            << on.reason;
    }
}

INSTANTIATE_TEST_SUITE_P(
    DamageByPosition, Resync,
    ::testing::Values(
        DamageCase{false, Damage::zeros512, 0.3}, DamageCase{false, Damage::zeros512, 0.8},
        DamageCase{false, Damage::flip3, 0.3}, DamageCase{false, Damage::flip3, 0.6},
        DamageCase{false, Damage::noise4k, 0.1}, DamageCase{false, Damage::noise4k, 0.5},
        DamageCase{true, Damage::zeros512, 0.5}, DamageCase{true, Damage::flip3, 0.4},
        DamageCase{true, Damage::noise4k, 0.7}, DamageCase{false, Damage::flip3, 0.4, 12},
        DamageCase{true, Damage::zeros512, 0.6, 12}, DamageCase{true, Damage::flip3, 0.0001, 12},
        DamageCase{false, Damage::zeros512, 0.4, 93}));

// A size field that claims far more than the data could ever give does not
// place the bytes after the damage a gigabyte away: no disk filled with
// zeros for one damaged field.
TEST_F(EngineTest, ResyncBelievesNoSizeTheSkippedDataCannotFill) {
    const std::string text = GeneratedText(false, 300000);
    ZipWriter zip;
    const WrittenEntry entry = zip.Entry(
        zip.Add({.name = "text.txt", .content = text, .method = 8, .uncompressedSize = 1u << 30}));
    std::string bytes = zip.Bytes();
    Apply(bytes, entry.dataOffset + entry.dataSize / 2, Damage::zeros512);
    ExtractReport report;
    Open(bytes).ExtractEntryTo(0, Wide(Out()), 65535, &report);
    EXPECT_LT(report.bytesWritten, 2 * text.size()) << report.reason;
    EXPECT_LT(std::filesystem::file_size(Out() / "text.txt"), 2 * text.size());
}

} // namespace
} // namespace kvtest
