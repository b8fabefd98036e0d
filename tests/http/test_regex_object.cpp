#include "http/regex_object.h"

#include <gtest/gtest.h>

#include <string>

namespace lanque {
namespace {

constexpr const char* kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

TEST(RegexObject, CharsetPattern) {
    struct Case {
        std::string page, charset;
    } cases[] = {
        {"<meta http-equiv=Content-Type content=text/html;charset=utf-8>", "utf-8"},
        {"<META CHARSET=UTF-8>", "UTF-8"},
        {"<meta charset=gbk>", "gbk"},
        {"<meta charset=\"big5\">", "big5"},
        {"<html><head><meta charset='gb2312'/></head>", "gb2312"},
        // The dot does not cross a line feed, but it does cross a CR.
        {"<meta http-equiv=x\n content=\"text/html; charset=utf-8\">", ""},
        {"<meta http-equiv=x\r content=\"text/html; charset=utf-8\">", "utf-8"},
        // From the first "<meta" of a line to the first "charset=" after it, even in a later tag.
        {"<meta name=a><meta charset=gbk>", "gbk"},
        {"<title>中文标题</title><meta content=\"中文\" charset=\"utf-8\">", "utf-8"},
        {"<html><body>no declaration</body></html>", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        RegexObject regex;
        ASSERT_TRUE(regex.Execute(kCharsetPattern, c.page)) << c.page;
        EXPECT_EQ(regex.SubMatchText(1, 1), c.charset) << c.page;
        EXPECT_EQ(regex.MatchCount(), c.charset.empty() ? 0 : 1) << c.page;
    }
}

TEST(RegexObject, OptionsAndReads) {
    RegexObject regex;
    EXPECT_EQ(regex.PatternText(), "");
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.SubMatchText(1, 1), "");

    ASSERT_TRUE(regex.Execute("^(a)(x)?(\\d+)$", "a1\nA22\nb3"));
    EXPECT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(regex.MatchText(2), "A22");
    EXPECT_EQ(regex.SubMatchText(2, 3), "22");
    EXPECT_EQ(regex.SubMatchText(1, 2), "");  // the group took no part
    EXPECT_EQ(regex.SubMatchText(3, 1), "");
    EXPECT_EQ(regex.SubMatchText(1, 4), "");
    EXPECT_EQ(regex.SubMatchText(0, 1), "");
    EXPECT_EQ(regex.SubMatchCount(), 3);

    ASSERT_TRUE(regex.Execute("^(a)(x)?(\\d+)$", "a1\nA22\nb3", true));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Execute("^a\\d", "a1\na2", false, false));
    EXPECT_EQ(regex.MatchCount(), 1);
    ASSERT_TRUE(regex.Execute("a\\d", "a1 a2 a3", false, true, false));
    EXPECT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "a1");

    ASSERT_TRUE(regex.Execute("href=#引号([^#引号]*)#引号", "<a href=\"x\">", false, true, true, true));
    EXPECT_EQ(regex.PatternText(), "href=\"([^\"]*)\"");
    EXPECT_EQ(regex.SubMatchText(1, 1), "x");
}

TEST(RegexObject, GbkSubjectsMatchByCharacter) {
    RegexObject regex;
    // The dot takes a whole GBK character, and a match never starts on a trail byte: "中" is D6 D0,
    // "諥" ends in 0x40 ("@") and "疎" in 0x5B ("["), but "@" and "[" as characters are not there.
    ASSERT_TRUE(regex.Execute("(.)文", "中文"));
    EXPECT_EQ(regex.SubMatchText(1, 1), "中");
    ASSERT_TRUE(regex.Execute("@", "\xD5\x40"));
    EXPECT_EQ(regex.MatchCount(), 0);
    ASSERT_TRUE(regex.Execute("\\w+", "名字abc_1值"));
    EXPECT_EQ(regex.MatchText(1), "abc_1");
    EXPECT_EQ(regex.ReplaceText("<$&>"), "名字<abc_1>值");
}

TEST(RegexObject, ReplaceText) {
    RegexObject regex;
    ASSERT_TRUE(regex.Execute("(\\w)(\\d)", "a1-b2-c"));
    EXPECT_EQ(regex.ReplaceText("$2$1"), "1a-2b-c");
    EXPECT_EQ(regex.ReplaceText("[$&|$`|$'|$$|$3|$]"), "[a1||-b2-c|$|$3|$]-[b2|a1-|-c|$|$3|$]-c");
    ASSERT_TRUE(regex.Execute("x*", "ab"));
    EXPECT_EQ(regex.MatchCount(), 3);
    EXPECT_EQ(regex.ReplaceText("-"), "-a-b-");
    ASSERT_TRUE(regex.Execute("b", "abab", false, true, false));
    EXPECT_EQ(regex.ReplaceText("X"), "aXab");
}

TEST(RegexObject, BadPatternsAndHugeInputsFailCleanly) {
    RegexObject regex;
    for (const char* pattern : {"(", "[a-", "a{2,1}", "\\", "(?<n>a)(?<n>b)"}) {
        EXPECT_FALSE(regex.Execute(pattern, "abc")) << pattern;
        EXPECT_EQ(regex.MatchCount(), 0);
        EXPECT_EQ(regex.SubMatchText(1, 1), "");
    }
    // Catastrophic backtracking stops at the limit and counts as a failed run.
    const std::string as = std::string(40, 'a') + "!";
    EXPECT_FALSE(regex.Execute("^(a+)+$", as));
    EXPECT_EQ(regex.MatchCount(), 0);
    // A large page with a late declaration, and one without any.
    std::string page(4 * 1024 * 1024, 'x');
    page += "<meta charset=utf-8>";
    ASSERT_TRUE(regex.Execute(kCharsetPattern, page));
    EXPECT_EQ(regex.SubMatchText(1, 1), "utf-8");
    const std::string longLine = "<meta " + std::string(1024 * 1024, 'y');
    EXPECT_TRUE(regex.Execute(kCharsetPattern, longLine));
    EXPECT_EQ(regex.MatchCount(), 0);
    ASSERT_TRUE(regex.Execute("(?:ab)+", std::string(200000, 'a') + std::string(400000, 'b')));
    // Truncated GBK at the end of the subject still matches what is there.
    ASSERT_TRUE(regex.Execute("a(.*)", std::string("a\xD6")));
    EXPECT_EQ(regex.MatchCount(), 1);
}

}  // namespace
}  // namespace lanque
