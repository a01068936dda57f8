// The texts of the preview's rows and the name filter.
#include "engine/file_header.h"
#include "workflow/analysis_format.h"
#include "workflow/entry_row.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

namespace {

struct SizeCase {
    std::uint64_t value;
    const wchar_t* text;
};

class SizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeText, TruncatesToItsUnitWithThreeBlanks) {
    EXPECT_EQ(FormatSizeText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, SizeText,
    ::testing::Values(SizeCase{0, L"0   Bytes"}, SizeCase{1023, L"1023   Bytes"},
                      SizeCase{1024, L"1   KB"}, SizeCase{2047, L"1   KB"},
                      SizeCase{1048575, L"1023   KB"}, SizeCase{1048576, L"1   MB"},
                      SizeCase{1073741823, L"1023   MB"}, SizeCase{1073741824, L"1   GB"},
                      SizeCase{4294967295u, L"3   GB"},
                      // Zip64 sizes stay in GB and are not cut to 32 bits.
                      SizeCase{5368709120ull, L"5   GB"},
                      SizeCase{1099511627776ull, L"1024   GB"}));

struct RatioCase {
    std::uint64_t compressed;
    std::uint64_t uncompressed;
    const wchar_t* text;
};

class RatioText : public ::testing::TestWithParam<RatioCase> {};

TEST_P(RatioText, IsTheTruncatedPercentage) {
    EXPECT_EQ(FormatRatioText(GetParam().compressed, GetParam().uncompressed), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RatioText,
    ::testing::Values(RatioCase{60000000, 120000000, L"50%"}, RatioCase{1, 3, L"33%"},
                      RatioCase{0, 0, L"0%"}, RatioCase{500, 0, L"0%"},
                      RatioCase{150, 100, L"150%"},
                      // Stored data that grew: no 32-bit overflow in compressed x 100.
                      RatioCase{4000000000u, 1000000000u, L"400%"},
                      // Zip64 sizes: no 64-bit overflow either.
                      RatioCase{0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, L"100%"},
                      RatioCase{3000000000000ull, 6000000000000ull, L"50%"}));

TEST(TimeText, ReadsAsUtcInTheFixedEnglishForm) {
    EXPECT_EQ(FormatModifiedTimeText(1204726029), L"05 Mar 2008, 14:07:09");
    EXPECT_EQ(FormatModifiedTimeText(946684799), L"31 Dec 1999, 23:59:59");
    EXPECT_EQ(FormatModifiedTimeText(0), L"01 Jan 1970, 00:00:00");
}

TEST(TimeText, DoesNotFollowTheLocale) {
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    std::setlocale(LC_TIME, "C.UTF-8");
    EXPECT_EQ(FormatModifiedTimeText(1204726029), L"05 Mar 2008, 14:07:09");
    std::setlocale(LC_TIME, saved.c_str());
}

TEST(TimeText, IsEmptyWhenTheMomentCannotBeBrokenDown) {
    EXPECT_EQ(FormatModifiedTimeText(INT64_MAX), L"");
}

TEST(EntryRowTexts, HoldTheSevenColumnsAndTheirRawValues) {
    CFileHeader header;
    header.name = L"docs/report.txt";
    header.uncompressedSize = 120000000;
    header.compressedSize = 60000000;
    header.storedCrc = 0xCBF43926u;
    const EntryRow row = MakeEntryRow(header);
    EXPECT_EQ(row.texts[columnFileName], L"docs/report.txt");
    EXPECT_EQ(row.texts[columnUncompressedSize], L"114   MB");
    EXPECT_EQ(row.texts[columnCompressedSize], L"57   MB");
    EXPECT_EQ(row.texts[columnRatio], L"50%");
    EXPECT_EQ(row.texts[columnModifiedTime], FormatModifiedTimeText(header.GetModifiedTime()));
    EXPECT_EQ(row.texts[columnCrc], L"3421780262");
    EXPECT_EQ(row.texts[columnMethod], L"deflated");
    EXPECT_EQ(row.ratio, 50u);
    EXPECT_EQ(row.crc, 0xCBF43926u);
}

} // namespace
