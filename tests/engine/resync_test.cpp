// Salvage past damage in deflated data: what comes back after a damaged
// stretch, and that no byte it vouches for is wrong.
#include "tests/engine/engine_fixture.h"

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
};

std::ostream& operator<<(std::ostream& out, const DamageCase& c) {
    const char* names[] = {"zeros512", "flip3", "noise4k"};
    return out << (c.code ? "code " : "prose ") << names[static_cast<int>(c.damage)] << " at "
               << c.position;
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
    const std::string text = GeneratedText(c.code, 600000);
    ZipWriter zip;
    const WrittenEntry entry =
        zip.Entry(zip.Add({.name = "text.txt", .content = text, .method = 8}));
    zip.AddCentralDirectory();
    std::string bytes = zip.Bytes();
    Apply(bytes, entry.dataOffset + static_cast<std::size_t>(entry.dataSize * c.position),
          c.damage);
    Open(bytes);

    ExtractReport off;
    ExtractReport on;
    const std::string before = ExtractWith(false, off);
    const std::string after = ExtractWith(true, on);
    const std::size_t sameBefore = SameAt(before, text);
    const std::size_t sameAfter = SameAt(after, text);
    EXPECT_FALSE(off.resync);
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
    // unknown ones are zeros (or, where the ranges were merged, right); and
    // "recovered" counts only right bytes.
    std::vector<char> vouched(after.size(), 1);
    for (const ByteRange& range : on.resync->lost)
        std::fill_n(vouched.begin() + range.offset, range.length, 0);
    std::size_t unknown = 0;
    std::size_t wrong = 0;
    for (const ByteRange& range : on.resync->unknown) {
        for (std::size_t i = range.offset; i < range.offset + range.length; ++i) {
            wrong += after[i] != '\0' && after[i] != text[i];
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
}

INSTANTIATE_TEST_SUITE_P(DamageByPosition, Resync,
                         ::testing::Values(DamageCase{false, Damage::zeros512, 0.3},
                                           DamageCase{false, Damage::zeros512, 0.8},
                                           DamageCase{false, Damage::flip3, 0.3},
                                           DamageCase{false, Damage::flip3, 0.6},
                                           DamageCase{false, Damage::noise4k, 0.1},
                                           DamageCase{false, Damage::noise4k, 0.5},
                                           DamageCase{true, Damage::zeros512, 0.5},
                                           DamageCase{true, Damage::flip3, 0.4},
                                           DamageCase{true, Damage::noise4k, 0.7}));

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
