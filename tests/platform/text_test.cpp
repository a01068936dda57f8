#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

// Every case here runs in a UTF-8 locale, as InitLocale gives a bare shell.
class TextTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = std::setlocale(LC_CTYPE, nullptr);
        ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8") || std::setlocale(LC_CTYPE, "C.utf8"));
    }
    void TearDown() override { std::setlocale(LC_CTYPE, m_saved.c_str()); }

private:
    std::string m_saved;
};

} // namespace

TEST_F(TextTest, LocalTextRoundTrips) {
    const std::wstring name = L"R\u00E9sum\u00E9 \u65E5\u672C/\U0001F600.txt";
    EXPECT_EQ(platform::EncodeLocal(name), "R\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC/"
                                           "\xF0\x9F\x98\x80.txt");
    EXPECT_EQ(platform::DecodeLocal(platform::EncodeLocal(name)), name);
}

TEST_F(TextTest, BytesThatAreNotTextSurviveTheRoundTripUnchanged) {
    // A file name is bytes: "dir\xFE" must not come back as "dir\xC3\xBE",
    // and two names that differ only in such bytes must not collapse into one.
    for (const std::string bytes : {"bad\xFFname.zip", "dir\xFE", "\x80x\xC3", "caf\xE9/\xC3\xA9"})
        EXPECT_EQ(platform::EncodeLocal(platform::DecodeLocal(bytes)), bytes);
    EXPECT_EQ(platform::DecodeLocal("caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_NE(platform::DecodeLocal("a\x81"), platform::DecodeLocal("a\x8D"));
    EXPECT_NE(platform::DecodeLocal("caf\xE9"), platform::DecodeLocal("caf\xC3\xA9"));
}

TEST_F(TextTest, Utf8ConversionsReplaceWhatCannotBeText) {
    EXPECT_EQ(platform::ToUtf8(L"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::ToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(platform::FromUtf8("\xC3\xA9\xF0\x9F\x98\x80"), L"\u00E9\U0001F600");
    EXPECT_EQ(platform::FromUtf8("a\xFF"), L"a\u00FF");
}

TEST(Text, SeparatorsBecomeNative) {
    EXPECT_EQ(platform::ToNativeSeparators(L"dir\\sub/file.txt"), L"dir/sub/file.txt");
    EXPECT_EQ(platform::ToNativeSeparators(L""), L"");
}
