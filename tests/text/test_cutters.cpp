#include "text/cutters.h"

#include <gtest/gtest.h>

#include <string>

namespace lanque {
namespace {

TEST(Cutters, TextBetween) {
    struct Case {
        std::string text, left, right;
        int start;
        bool ignoreCase;
        std::string between;
    } cases[] = {
        {"<a href=\"x\">", "href=#引号", "#引号", 1, false, "x"},
        {"<a href=\"x\">", "href=\"", "\"", 1, false, "x"},
        // A missing right marker gives an empty text, not the rest of the text.
        {"<a href=\"x", "href=\"", "\"", 1, false, ""},
        {"abc", "x", "c", 1, false, ""},
        {"[1][2]", "[", "]", 1, false, "1"},
        {"[1][2]", "[", "]", 2, false, "2"},
        {"[1][2]", "[", "]", 0, false, "1"},
        {"[1][2]", "[", "]", 99, false, ""},
        {"Location: /x\r\n", "location: ", "\r\n", 1, true, "/x"},
        {"Location: /x\r\n", "location: ", "\r\n", 1, false, ""},
        // GBK: "諥" is D5 40, so the "@" in it is no marker; the right marker is searched after the left.
        {"\xD5@a@b@", "@", "@", 1, false, "b"},
        {"中文[值]", "[", "]", 1, false, "值"},
        {"", "a", "b", 1, false, ""},
        {"ab", "", "b", 1, false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextBetween(c.text, c.left, c.right, c.start, c.ignoreCase), c.between) << c.text;
    }
}

TEST(Cutters, TextLeftAndRightOf) {
    EXPECT_EQ(TextLeftOf("Set-Cookie: a=1", ": "), "Set-Cookie");
    EXPECT_EQ(TextLeftOf("Set-Cookie:a=1", ": "), "");
    EXPECT_EQ(TextLeftOf("a=1=2", "="), "a");
    EXPECT_EQ(TextLeftOf("a=1=2", "=", 3), "a=1");
    EXPECT_EQ(TextLeftOf("aXbxc", "x", 1, true), "a");
    EXPECT_EQ(TextLeftOf("\xD5@x@y", "@"), "\xD5@x");
    EXPECT_EQ(TextRightOf("a?b?c", "?"), "c");
    EXPECT_EQ(TextRightOf("abc", "?"), "");
    EXPECT_EQ(TextRightOf("abc?", "?"), "");
    EXPECT_EQ(TextRightOf("x@\xD5@", "@"), "\xD5@");
}

TEST(Cutters, TrimAndBlanks) {
    struct Case {
        std::string text, trimmed, unblanked;
    } cases[] = {
        {"  a b  ", "a b", "ab"},
        {"\xA1\xA1" "值\xA1\xA1 ", "值", "值"},
        {"\ta\r\n", "\ta\r\n", "\ta\r\n"},
        {"   ", "", ""},
        {"", "", ""},
        // The bytes A1 A1 across two characters (B0 A1, A1 C0) are no blank.
        {"\xB0\xA1\xA1\xC0", "\xB0\xA1\xA1\xC0", "\xB0\xA1\xA1\xC0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Trim(c.text), c.trimmed) << c.text;
        EXPECT_EQ(RemoveBlanks(c.text), c.unblanked) << c.text;
    }
}

TEST(Cutters, AroundTheColon) {
    EXPECT_EQ(TextBeforeColon(" Host : a:b "), "Host");
    EXPECT_EQ(TextAfterColon(" Host : a:b "), "a:b");
    EXPECT_EQ(TextBeforeColon("nocolon"), "");
    EXPECT_EQ(TextAfterColon("nocolon"), "");
    EXPECT_EQ(TextAfterColon("k:"), "");
}

}  // namespace
}  // namespace lanque
