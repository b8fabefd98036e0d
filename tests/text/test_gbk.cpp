#include "text/gbk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

namespace lanque {
namespace {

// The plain reading of a GBK-aware search: walk the characters from the start and try a match at
// each character start; letters fold only where the text has a one-byte character.
std::size_t ReferenceFind(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    if (needle.empty()) {
        return kNoPos;
    }
    for (std::size_t pos = 0; pos + needle.size() <= text.size(); pos += GbkCharLength(text, pos)) {
        if (pos < from) {
            continue;
        }
        bool match = true;
        for (std::size_t i = 0; i < needle.size() && match;) {
            const std::size_t length = GbkCharLength(text, pos + i);
            for (std::size_t k = 0; k < length && i + k < needle.size(); ++k) {
                const char a = text[pos + i + k];
                const char b = needle[i + k];
                match = match && (a == b || (ignoreCase && length == 1 && AsciiLower(a) == AsciiLower(b)));
            }
            i += length;
        }
        if (match) {
            return pos;
        }
    }
    return kNoPos;
}

TEST(Gbk, CharLength) {
    const std::string text = "a\xD6\xD0\xD6\x7F\xD6";
    EXPECT_EQ(GbkCharLength(text, 0), 1u);
    EXPECT_EQ(GbkCharLength(text, 1), 2u);
    EXPECT_EQ(GbkCharLength(text, 3), 1u);  // 0x7F is never a trail byte
    EXPECT_EQ(GbkCharLength(text, 5), 1u);  // a lead byte at the very end
}

TEST(Gbk, FindNeverStartsOnATrailByte) {
    struct Case {
        std::string text, needle;
        std::size_t from;
        bool ignoreCase;
        std::size_t found;
    } cases[] = {
        // "諥" is D5 40: its trail byte is "@".
        {"\xD5\x40", "@", 0, false, kNoPos},
        {"\xD5\x40@", "@", 0, false, 2},
        // "疎" is AF 5B ... and "A" as a trail byte: 81 41 is one character, not "A".
        {"\x81\x41", "A", 0, false, kNoPos},
        {"\x81\x41", "a", 0, true, kNoPos},
        {"\x81\x41" "a", "A", 0, true, 2},
        // A marker whose bytes lie across a character boundary: D6 D0 D6 D0 is 中中, "D0 D6" is not there.
        {"中中", "\xD0\xD6", 0, false, kNoPos},
        {"中中", "中", 1, false, 2},
        {"中文abc", "ABC", 0, true, 4},
        {"中文abc", "ABC", 0, false, kNoPos},
        // The trail byte of a character is matched exactly also when the letter case is ignored.
        {"\x81\x41", "\x81\x61", 0, true, kNoPos},
        {"abc", "", 0, false, kNoPos},
        {"ab", "abc", 0, false, kNoPos},
        {"abcabc", "abc", 4, false, kNoPos},
        {"abcabc", "abc", 3, false, 3},
        // A lead byte at the end of the text is a character of its own.
        {"ab\xD6", "\xD6", 0, false, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GbkFind(c.text, c.needle, c.from, c.ignoreCase), c.found) << c.text << " / " << c.needle;
        EXPECT_EQ(ReferenceFind(c.text, c.needle, c.from, c.ignoreCase), c.found) << c.text << " / " << c.needle;
    }
}

TEST(Gbk, FindersAgreeWithTheCharacterWalk) {
    // Random texts over bytes that make every kind of character: ASCII letters that are also trail
    // bytes, lead bytes, 0x7F, and a few markup bytes. Long texts and long lead runs reach the
    // block-wise scans, short ones their tails.
    const std::string alphabet = "aAbB<>/ \x7F\x81\xA1\xD6\xD0\xFE\x40\xFF";
    const std::string leads = "\x81\xA1\xD6\xD0\xFE";
    std::mt19937 random(12345);
    auto randomText = [&](std::size_t maxLength) {
        std::string text(random() % maxLength, ' ');
        const bool leadRuns = random() % 2 == 0;
        for (char& c : text) {
            c = leadRuns && random() % 32 != 0 ? leads[random() % leads.size()] : alphabet[random() % alphabet.size()];
        }
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string text = randomText(round % 3 == 0 ? 400 : 40);
        std::string needles[2] = {randomText(4), randomText(4)};
        for (std::string& needle : needles) {
            needle += alphabet[random() % alphabet.size()];
        }
        const bool ignoreCase = round % 2 == 1;
        GbkFinder finder(text, needles[0], ignoreCase);
        GbkEitherFinder either(text, needles[0], needles[1], ignoreCase);
        for (std::size_t from = 0; from <= text.size(); from += 1 + random() % 5) {
            const std::size_t first = ReferenceFind(text, needles[0], from, ignoreCase);
            const std::size_t second = ReferenceFind(text, needles[1], from, ignoreCase);
            ASSERT_EQ(finder.Next(from), first) << "round " << round << " from " << from;
            ASSERT_EQ(GbkFind(text, needles[0], from, ignoreCase), first);
            int matches = 0;
            const std::size_t pos = either.Next(from, matches);
            ASSERT_EQ(pos, std::min(first, second)) << "round " << round << " from " << from;
            if (pos != kNoPos) {
                ASSERT_EQ(matches, (first == pos ? GbkEitherFinder::kFirst : 0) |
                                       (second == pos ? GbkEitherFinder::kSecond : 0));
                ASSERT_TRUE(GbkMatchesAt(text, pos, first == pos ? needles[0] : needles[1], ignoreCase));
            }
        }
    }
}

TEST(Gbk, FindLastAllReplaceSplit) {
    EXPECT_EQ(GbkFindLast("a;b;c", ";"), 3u);
    EXPECT_EQ(GbkFindLast("aaa", "aa"), 1u);
    EXPECT_EQ(GbkFindLast("abc", ";"), kNoPos);
    EXPECT_EQ(GbkFindAll("aaaa", "aa"), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(GbkFindAll("\xD5\x40@A@", "@"), (std::vector<std::size_t>{2, 4}));
    EXPECT_EQ(GbkReplaceAll("a#引号b#引号", "#引号", "\""), "a\"b\"");
    EXPECT_EQ(GbkReplaceAll("\xD5\x40@", "@", "X"), "\xD5\x40X");
    EXPECT_EQ(GbkReplaceAll("Set-Cookie:SET-COOKIE:x", "set-cookie:", "", true), "x");

    struct SplitCase {
        std::string text, separator;
        std::vector<Text> parts;
    } cases[] = {
        {"", ";", {}},
        {"a;b", ";", {"a", "b"}},
        {"a;;b;", ";", {"a", "", "b"}},
        {";", ";", {""}},
        {"a; b; ", "; ", {"a", "b"}},
        {"\xD5\x40@x", "@", {"\xD5\x40", "x"}},
        {"abc", "", {"abc"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GbkSplit(c.text, c.separator), c.parts) << c.text;
    }
    EXPECT_EQ(Join({"a", "", "b"}, "; "), "a; ; b");
    EXPECT_EQ(Join({}, "; "), "");
}

TEST(Gbk, CaseFoldingIsAsciiOnly) {
    EXPECT_EQ(AsciiLowered("AbC中Z"), "abc中z");
    EXPECT_EQ(AsciiUpper('a'), 'A');
    EXPECT_EQ(AsciiLower('\xC1'), '\xC1');
    EXPECT_TRUE(AsciiEqualsIgnoreCase("Content-Type", "content-TYPE"));
    EXPECT_FALSE(AsciiEqualsIgnoreCase("abc", "abcd"));
}

TEST(Gbk, TextToInt) {
    struct Case {
        std::string text;
        long long value;
    } cases[] = {{"5", 5},     {"  12abc", 12}, {"-3", -3},  {"+7", 7},          {"abc", 0},
                 {"", 0},      {"中5", 0},      {"0x10", 0}, {"99999999999999999999", LLONG_MAX},
                 {"-99999999999999999999", LLONG_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
    }
}

TEST(Gbk, LongRunsOfTwoByteCharactersStayFast) {
    // A long run of lead bytes before every candidate: each search looks back no further than what the
    // finder already knows, so this pass is linear (it would take minutes if it were not).
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        text += "\xD6\xD6";
    }
    text += "x";
    EXPECT_EQ(GbkFindAll(text, "\xD6\xD6").size(), 200000u);
    EXPECT_EQ(GbkFindLast(text, "x"), 400000u);
}

}  // namespace
}  // namespace lanque
