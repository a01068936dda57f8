// Every compression method other tools write, in archives those tools made
// (tests/data/methods/make.sh): whole, cut and with a byte turned, salvaged
// against the files they hold.
#include "engine/entry_decoder.h"
#include "platform/text.h"
#include "tests/engine/engine_fixture.h"

#include <map>

namespace kvtest {
namespace {

const std::filesystem::path kMethodData =
    std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "methods";

// The files every archive holds, as make.sh writes them.
std::string MethodText(int lines) {
    static const char* const words[] = {"salvage", "archive", "block", "header",
                                        "stream",  "entry",   "bytes", "window"};
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += std::to_string(i * 7919 % 2500) + ' ' + words[i * 3 % 5] + ' ' + words[4 + i % 4] +
                '\n';
    return text;
}

std::string RepeatedLine(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "the same line again\n";
    return text;
}

const std::map<std::string, std::string>& MethodFiles() {
    static const std::map<std::string, std::string> files = {
        {"a-small.txt", MethodText(40)},
        {"b-big.txt", RepeatedLine(7000) + MethodText(14000)},
        {"c-last.txt", MethodText(30)}};
    return files;
}

struct MethodCase {
    const char* archive;
    std::uint16_t method;
    // Not empty: why its entries are not saved.
    const char* unsupported = "";
};

using Deflate64Stream = EngineTest;
using PpmdStream = EngineTest;

class CompressionMethods : public EngineTest, public ::testing::WithParamInterface<MethodCase> {
protected:
    std::string Archive() const {
        const std::optional<std::string> bytes = ReadFileBytes(kMethodData / GetParam().archive);
        EXPECT_TRUE(bytes) << GetParam().archive;
        return bytes.value_or("");
    }
    // Extracts every entry the scan found, by name.
    std::map<std::string, ExtractReport> ExtractAll(const std::string& bytes) {
        Open(bytes);
        std::map<std::string, ExtractReport> reports;
        for (std::size_t i = 0; i < m_archive->GetEntryCount(); ++i) {
            ExtractReport report;
            m_archive->ExtractEntryTo(i, Wide(Out()), 65535, &report);
            reports[platform::ToUtf8(report.name)] = report;
        }
        return reports;
    }
    // What the method's entries say when this build cannot decode them.
    std::string Unsupported() const {
        if (*GetParam().unsupported != '\0')
            return GetParam().unsupported;
        if (!MethodBuilt(GetParam().method))
            return std::string("this build has no ") + CompressionMethodName(GetParam().method) +
                   " decoder";
        return {};
    }
};

TEST_P(CompressionMethods, WholeArchiveComesBackByteForByte) {
    const std::map<std::string, ExtractReport> reports = ExtractAll(Archive());
    ASSERT_EQ(reports.size(), MethodFiles().size());
    for (const auto& [name, content] : MethodFiles()) {
        const ExtractReport& report = reports.at(name);
        if (const std::string why = Unsupported(); !why.empty()) {
            EXPECT_EQ(VerdictText(report), "not saved: " + why) << name;
            continue;
        }
        EXPECT_EQ(VerdictText(report), "verified") << name;
        EXPECT_TRUE(SameBytes(ReadFileBytes(Out() / name), content)) << name;
    }
}

TEST_P(CompressionMethods, CutArchiveKeepsEveryByteBeforeTheCut) {
    std::string bytes = Archive();
    Truncate(bytes, bytes.size() * 6 / 10);
    const std::map<std::string, ExtractReport> reports = ExtractAll(bytes);
    ASSERT_TRUE(reports.contains("a-small.txt") && reports.contains("b-big.txt"));
    if (!Unsupported().empty())
        return;
    EXPECT_EQ(VerdictText(reports.at("a-small.txt")), "verified");
    EXPECT_EQ(reports.at("b-big.txt").verdict, Verdict::partial);
    // The blocks before the cut decode: what is kept is the file's start.
    const std::optional<std::string> kept = ReadFileBytes(Out() / "b-big.txt");
    ASSERT_TRUE(kept);
    const std::string& whole = MethodFiles().at("b-big.txt");
    EXPECT_GT(kept->size(), 0u);
    EXPECT_LT(kept->size(), whole.size());
    EXPECT_TRUE(SameBytes(kept, whole.substr(0, kept->size())));
}

TEST_P(CompressionMethods, TurnedByteSpoilsOnlyItsEntry) {
    std::string bytes = Archive();
    FlipByte(bytes, bytes.size() * 6 / 10, 0x21);
    const std::map<std::string, ExtractReport> reports = ExtractAll(bytes);
    ASSERT_EQ(reports.size(), MethodFiles().size());
    if (!Unsupported().empty())
        return;
    EXPECT_EQ(VerdictText(reports.at("a-small.txt")), "verified");
    EXPECT_EQ(VerdictText(reports.at("c-last.txt")), "verified");
    const Verdict big = reports.at("b-big.txt").verdict;
    EXPECT_TRUE(big == Verdict::damaged || big == Verdict::partial) << VerdictName(big);
}

INSTANTIATE_TEST_SUITE_P(
    Writers, CompressionMethods,
    ::testing::Values(MethodCase{"7zz-bzip2.zip", 12}, MethodCase{"python-bzip2.zip", 12},
                      MethodCase{"7zz-lzma.zip", 14}, MethodCase{"python-lzma.zip", 14},
                      MethodCase{"7zz-deflate64.zip", 9}, MethodCase{"helper-xz.zip", 95},
                      MethodCase{"helper-zstd.zip", 93}, MethodCase{"helper-xz-streams.zip", 95},
                      MethodCase{"helper-zstd-streams.zip", 93},
                      MethodCase{"helper-bzip2-streams.zip", 12}, MethodCase{"7zz-ppmd.zip", 98},
                      MethodCase{"helper-ppmd-o2.zip", 98}, MethodCase{"helper-ppmd-o8.zip", 98}),
    [](const auto& test) {
        std::string label = test.param.archive;
        label = label.substr(0, label.find('.'));
        std::erase(label, '-');
        return label;
    });

// Bits of a deflate stream, first bit lowest; Huffman codes go in from
// their top bit.
class BitWriter {
public:
    void Bits(std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            Bit((value >> i) & 1U);
    }
    void Code(std::uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i)
            Bit((code >> i) & 1U);
    }
    std::string Bytes() const { return m_bytes; }

private:
    void Bit(unsigned bit) {
        if (m_count % 8 == 0)
            m_bytes += '\0';
        m_bytes.back() = static_cast<char>(m_bytes.back() | (bit << (m_count % 8)));
        ++m_count;
    }
    std::string m_bytes;
    int m_count = 0;
};

// Length code 285 of Deflate64 takes 16 extra bits over a base of 3: the
// longest match, 65538 bytes, runs past the caller's chunk of 65535. No
// writer at hand makes one.
TEST_F(Deflate64Stream, LongestMatchRunsPastTheChunk) {
    if (!MethodBuilt(9))
        GTEST_SKIP();
    BitWriter bits;
    bits.Bits(1, 1); // final block
    bits.Bits(1, 2); // fixed codes
    bits.Code(0x30 + 'x', 8);
    bits.Code(0xC0 + (285 - 280), 8);
    bits.Bits(65535, 16);
    bits.Code(0, 5); // distance code 0: one byte back
    bits.Code(0, 7); // end of block
    const std::string content(65539, 'x');
    ZipWriter zip;
    zip.Add({.name = "long.txt", .content = content, .method = 9, .rawData = bits.Bytes()});
    zip.Add({.name = "next.txt", .content = "next"});
    Open(zip.Bytes());
    ExtractReport report;
    m_archive->ExtractEntryTo(0, Wide(Out()), 65535, &report);
    EXPECT_EQ(VerdictText(report), "verified");
    EXPECT_TRUE(SameBytes(ReadFileBytes(Out() / "long.txt"), content));
}

// PPMd data whose parameter word asks for what no writer uses: nothing is
// decoded or left behind, the verdict says why, the next entry is read.
TEST_F(PpmdStream, SettingsOutsideTheFormatAreRefused) {
    ZipWriter zip;
    // Order 1 (field 0) in 1 MiB; order 8 with restoration method 2.
    zip.Add({.name = "order.txt",
             .content = "x",
             .method = 98,
             .rawData = std::string("\x00\x00\x00\x00\x00\x00", 6)});
    zip.Add({.name = "restore.txt",
             .content = "x",
             .method = 98,
             .rawData = std::string("\x07\x20\x00\x00\x00\x00", 6)});
    zip.Add({.name = "next.txt", .content = "next"});
    Open(zip.Bytes());
    std::vector<std::string> verdicts;
    for (std::size_t i = 0; i < 3; ++i) {
        ExtractReport report;
        m_archive->ExtractEntryTo(i, Wide(Out()), 65535, &report);
        verdicts.push_back(VerdictText(report));
    }
    EXPECT_EQ(verdicts, (std::vector<std::string>{
                            "not saved: PPMd model order 1 is below 2",
                            "not saved: PPMd model restoration method 2 is unknown", "verified"}));
    EXPECT_FALSE(std::filesystem::exists(Out() / "order.txt"));
    EXPECT_FALSE(std::filesystem::exists(Out() / "restore.txt"));
}

} // namespace
} // namespace kvtest
