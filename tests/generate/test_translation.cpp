#include "generate/translation.h"

#include <gtest/gtest.h>

#include "script/token.h"
#include "support/test_support.h"

namespace lanque {
namespace {

// Token vectors. The empty text, worked by hand from a = 406398:
//   "+-3": a + (a << 3) = 3657582;  "^+b": a ^ (a >>> 11 = 1785) = 3656087;
//   "+-f": a + (a << 15 mod 2^32 = 3838541824) = 3842197911;  ^ 2087938574 = 2574263193;
//   mod 1000000 = 263193;  263193 ^ 406398 = 145255.
// Every vector was cross-checked with tests/generate/make_token_check.js (see there how to run it).
TEST(MakeToken, KnownAnswersForGbkText) {
    const struct {
        Text text;
        const char* token;
    } cases[] = {
        {"", "263193.145255"},
        {"a", "347446.228936"},
        {"Hello", "655597.799635"},
        {"é", "899527.756409"},  // a two-byte UTF-8 character
        {"你好", "916876.773874"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeToken(c.text), c.token) << c.text;
    }
}

TEST(MakeToken, Utf16WalkHandlesSurrogates) {
    const struct {
        std::u16string units;
        const char* bytes;
        const char* token;
    } cases[] = {
        {u"\U0001F600", "\xF0\x9F\x98\x80", "528635.926597"},   // a pair: one four-byte character
        {std::u16string{0xD83D, u'a'}, "\xED\xA0\xBD" "a", "552254.941632"},  // lone high surrogate
        {std::u16string{0xDE00}, "\xED\xB8\x80", "965324.559538"},  // lone low surrogate
        {u"\u4F60\u597D", "\xE4\xBD\xA0\xE5\xA5\xBD", "916876.773874"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TokenBytesOfUtf16(c.units), c.bytes);
        EXPECT_EQ(TokenOfUtf16(c.units), c.token);
    }
}

TEST(MakeToken, MixReadsGroupsOfThreeAndIgnoresATrailingPart) {
    EXPECT_EQ(TokenMix(406398, "+-3^+b+-f"), 3842197911u);
    EXPECT_EQ(TokenMix(406398, "+-3^+"), 3657582u);
    EXPECT_EQ(TokenMix(0x80000000u, "+-1"), 0x80000000u);  // the left shift drops bit 32
    EXPECT_EQ(TokenMix(0xFFFFFFFFu, "^+f"), 0xFFFFFFFFu ^ 0x1FFFFu);  // logical right shift
}

TEST(TranslationRequest, AddressPerDirection) {
    Endpoints endpoints;
    endpoints.translate = "http://127.0.0.1:18602";
    EXPECT_EQ(TranslationAddress(endpoints, 0, "263193.145255"),
              "http://127.0.0.1:18602/translate_a/single?client=webapp&sl=auto&tl=en&hl=zh-CN&dt=at&dt=bd&dt=ex"
              "&dt=ld&dt=md&dt=qca&dt=rw&dt=rm&dt=ss&dt=t&dt=gt&otf=2&ssel=0&tsel=0&kc=1&tk=263193.145255");
    EXPECT_EQ(TranslationAddress(endpoints, 1, "1.2"),
              "http://127.0.0.1:18602/translate_a/single?client=t&sl=en&tl=zh-CN&hl=zh-CN&dt=at&dt=bd&dt=ex"
              "&dt=ld&dt=md&dt=qca&dt=rw&dt=rm&dt=ss&dt=t&ie=UTF-8&oe=UTF-8&source=bh&ssel=0&tsel=0&kc=1&tk=1.2");
    EXPECT_EQ(TranslationAddress(endpoints, 2, "1.2"), "");
    EXPECT_EQ(TranslationAddress(endpoints, -1, "1.2"), "");
}

TEST(TranslationRequest, BodyIsPercentEncodedUtf8) {
    EXPECT_EQ(TranslationBody(""), "q=");
    EXPECT_EQ(TranslationBody("你好 a-b.c_~\r\n"), "q=%E4%BD%A0%E5%A5%BD%20a-b.c%5F%7E%0D%0A");
}

TEST(TranslationReply, SegmentsAreJoinedAndNonStringsSkipped) {
    const struct {
        std::string reply;  // UTF-8, as it comes from the network
        Text expected;      // GBK
    } cases[] = {
        {test::Utf8(u8R"([[["Hello","你好"],["World","世界"]],null,"zh-CN"])"), "HelloWorld"},
        {test::Utf8(u8R"([[["Hello","你好"],["World","世界"],[null,null,"x"]],null,"zh-CN"])"), "HelloWorld"},
        {test::Utf8(u8R"([[["你好，","Hello, "],["世界。","world."]],,"en"])"), "你好，世界。"},
        {R"([[["a",,],[,"x"],[7]],,"en"])", "a"},
        {R"([[["%41B"],["100%zz"]]])", "AB100%zz"},
        {R"([[["%E4%BD%A0"]]])", "你"},  // a percent-encoded UTF-8 character
        {"", ""},
        {"<html>error</html>", ""},
        {R"({"0":[["x"]]})", "x"},
        {R"([[]])", ""},
        {R"([["not a segment"]])", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadTranslationReply(c.reply), c.expected) << c.reply;
    }
}

}  // namespace
}  // namespace lanque
