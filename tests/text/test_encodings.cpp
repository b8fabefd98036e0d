#include "text/encodings.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace lanque {
namespace {

using test::Utf8;

TEST(Encodings, GbkAndUtf8RoundTrip) {
    const Text gbk = "中文，岚雀";
    EXPECT_EQ(GbkToUtf8(gbk), Utf8(u8"中文，岚雀"));
    EXPECT_EQ(Utf8ToGbk(Utf8(u8"中文，岚雀")), gbk);
    EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(Encodings, InvalidInputConvertsAsFarAsItGoes) {
    // A truncated GBK character at the end, and invalid UTF-8 in the middle.
    EXPECT_EQ(GbkToUtf8(Text("ab") + "\xD6"), "ab");
    EXPECT_EQ(Utf8ToGbk("a\xFF" "b"), "a?b");
    // A character GBK cannot hold becomes "?".
    EXPECT_EQ(Utf8ToGbk(Utf8(u8"x\U0001F600y")), "x?y");
}

TEST(Encodings, BadInputTable) {
    struct Case {
        std::string in, out;
    } utf8ToGbk[] = {
        {"a\xC0\xAF" "b", "a??b"},          // overlong form: two invalid bytes
        {"a\x80" "b", "a?b"},                // a lone continuation byte
        {"a\xED\xA0\x80" "b", "a?b"},        // an encoded surrogate is one bad character
        {"a\xE4\xB8", "a"},                 // a sequence cut off at the end is dropped
        {Utf8(u8"€"), "\x80"},               // code page 936 holds the euro sign at 0x80
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    }, gbkToUtf8[] = {
        {"a\xFF" "b", "a?b"},                // 0xFF is no GBK byte
        {"\xD6" "a", Utf8(u8"謅")},           // D6 61: a trail byte may be an ASCII letter
        {"\xA1\xA1", Utf8(u8"\u3000")},
        {"\x80", Utf8(u8"€")},
    };
    for (const auto& c : utf8ToGbk) {
        EXPECT_EQ(Utf8ToGbk(c.in), c.out) << c.in;
    }
    for (const auto& c : gbkToUtf8) {
        EXPECT_EQ(GbkToUtf8(c.in), c.out) << c.in;
    }
    EXPECT_EQ(Utf8ToGb2312(Utf8(u8"中€")), "中?");
}

TEST(Encodings, LargeAndGrowingConversions) {
    // UTF-32 takes four bytes a character, more than the first guess of the output size: it grows.
    EXPECT_EQ(ConvertCodePage("abcdefghij", "GBK", "UTF-32LE").size(), 40u);
    EXPECT_EQ(ConvertCodePage("ab", "NO-SUCH-CODE-PAGE", "UTF-8"), "ab");
    std::string gbk;
    for (int i = 0; i < 100000; ++i) {
        gbk += "岚雀a";
    }
    const Text utf8 = GbkToUtf8(gbk);
    EXPECT_EQ(utf8.size(), 700000u);
    EXPECT_EQ(Utf8ToGbk(utf8), gbk);
}

TEST(Encodings, ConvertCodePageKeepsTheLastCharacter) {
    EXPECT_EQ(ConvertCodePage("ab中文", "GB2312", "GBK"), "ab中文");
    EXPECT_EQ(ConvertCodePage("ab中文", "GBK", "UTF-8"), Utf8(u8"ab中文"));
    // An unknown code page leaves the input as it was.
    EXPECT_EQ(ConvertCodePage("ab", "NO-SUCH-PAGE", "GBK"), "ab");
}

TEST(Encodings, Base64) {
    struct Case {
        std::string in, out;
    } cases[] = {{"", ""}, {"a\\nb", "YVxuYg=="}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"},
                 {std::string("\0\xFF", 2), "AP8="}};
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Encode(c.in), c.out) << c.in;
    }
}

TEST(Encodings, Md5HexOptions) {
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("abc", true), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5Hex("abc", false, true), "3cd24fb0d6963f7d");
    EXPECT_EQ(Md5Hex("abc", true, true), "3CD24FB0D6963F7D");
}

TEST(Encodings, UrlEncode) {
    EXPECT_EQ(UrlEncode("a b-c.d_e", true, true), "a%20b-c.d%5Fe");
    EXPECT_EQ(UrlEncode("中", true, true), "%E4%B8%AD");
    EXPECT_EQ(UrlEncode("中", true, false), "%D6%D0");
    EXPECT_EQ(UrlEncode("a~/", false, false), "%61%7E%2F");
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(UrlEncode(std::string("\x0A", 1)), "%0A");
}

TEST(Encodings, UrlDecode) {
    EXPECT_EQ(UrlDecode("%e4%b8%ad", true), "中");
    EXPECT_EQ(UrlDecode("a+b", true), "a+b");
    EXPECT_EQ(UrlDecode("%4A%4a"), "JJ");
    // A "%" without two hex digits after it is copied unchanged.
    EXPECT_EQ(UrlDecode("100%"), "100%");
    EXPECT_EQ(UrlDecode("%4"), "%4");
    EXPECT_EQ(UrlDecode("%zz1"), "%zz1");
}

}  // namespace
}  // namespace lanque
