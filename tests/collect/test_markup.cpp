#include "collect/markup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "concurrency/message_pump.h"
#include "text/cutters.h"
#include "text/gbk.h"

namespace lanque {
namespace {

constexpr const char* kResultStart = "<div class=\"result c-container \" id=\"";

// One result block as the search page writes it: the title with its link, nested divs, GBK text.
std::string ResultBlock(int id) {
    const std::string n = std::to_string(id);
    return std::string(kResultStart) + n + "\" srcid=\"1599\" tpl=\"se_com_default\">" +
           "<h3 class=\"t\"><a data-click=\"{'F':'778317EA'}\" href = \"http://127.0.0.1/link?url=" + n +
           "\" target=\"_blank\">标题<em>关键词</em>" + n + "</a></h3>" +
           "<div class=\"c-abstract\"><span class=\" newTimeFactor_before_abs m\">2020年1月2日&nbsp;-&nbsp;</span>"
           "摘要文字，中文内容。</div><div class=\"f13\"><a class=\"c-showurl\">baijiahao.baidu.com/s?id=" + n +
           "</a><div class=\"c-tools\" id=\"tools_" + n + "\"><a>百度快照</a></div></div></div>";
}

std::string SearchPage(int blocks) {
    std::string page = "<html><head><title>结果</title></head><body><div id=\"wrapper\"><div id=\"head\">"
                       "<div class=\"s_form\">搜索</div></div><div id=\"content_left\">";
    for (int i = 1; i <= blocks; ++i) {
        page += ResultBlock(i);
    }
    return page + "</div><div id=\"rs\"><div>相关搜索</div></div></div></body></html>";
}

TEST(Markup, ElementAtTakesTheOuterDivOfNestedOnes) {
    const std::string text = "x<div class=a><div>1</div><div>2<div>3</div></div></div><div>after</div>";
    EXPECT_EQ(ElementAt(text, "<div class=a>", "<div", "</div>"),
              "<div class=a><div>1</div><div>2<div>3</div></div></div>");
    // Default markers: the start marker up to its blank, and the matching close tag.
    EXPECT_EQ(ElementAt(text, "<div class=a>", "", ""), "<div class=a><div>1</div><div>2<div>3</div></div></div>");
    EXPECT_EQ(ElementAt("<h3 class=t>a<h3>b</h3></h3>", "<h3 ", "", ""), "<h3 class=t>a<h3>b</h3></h3>");
}

TEST(Markup, ElementAtCases) {
    struct Case {
        std::string text, start, open, close;
        long long position;
        bool ignoreCase;
        std::string element;
        long long next;
    } cases[] = {
        // Letter case ignored: an upper-case start marker finds the lower-case element, and back.
        {"<div class=x>a</div>", "<DIV CLASS=X>", "<div", "</div>", 0, true, "<div class=x>a</div>", 2},
        {"<DIV class=x>a</DIV>", "<div class=x>", "<div", "</div>", 0, true, "<DIV class=x>a</DIV>", 2},
        {"<DIV class=x>a</DIV>", "<div class=x>", "<div", "</div>", 0, false, "", 0},
        // Start marker but no closing tag, or fewer closing tags than open ones.
        {"<div class=x>a", "<div class=x>", "<div", "</div>", 0, true, "", 0},
        {"<div class=x><div>a</div>", "<div class=x>", "<div", "</div>", 0, true, "", 0},
        // A closing tag before the element does not count.
        {"</div><div class=x>a", "<div class=x>", "<div", "</div>", 0, true, "", 0},
        // Extra closing tags after the element are left alone.
        {"<div class=x>a</div></div></div>", "<div class=x>", "<div", "</div>", 0, true, "<div class=x>a</div>", 2},
        // The "#引号" of the start marker is a double quote.
        {"<p><div id=\"c\">z</div>", "<div id=#引号c#引号>", "<div", "</div>", 0, true, "<div id=\"c\">z</div>", 5},
        // The search starts at the given 1-based position; 0 and 1 are the beginning.
        {"<b>1</b><b>2</b>", "<b>", "<b", "</b>", 2, true, "<b>2</b>", 10},
        {"<b>1</b><b>2</b>", "<b>", "<b", "</b>", 1, true, "<b>1</b>", 2},
        {"<b>1</b><b>2</b>", "<b>", "<b", "</b>", -5, true, "<b>1</b>", 2},
        {"<b>1</b>", "<b>", "<b", "</b>", 99, true, "", 0},
        // The element runs from the first open marker at or after the start marker.
        {"<li id=q><div>in</div></li>", "<li id=q>", "<div", "</div>", 0, true, "<div>in</div>", 11},
        // An open marker without "<" gives no default close marker.
        {"ab cd", "ab cd", "ab", "", 0, true, "", 0},
        {"", "<div", "<div", "</div>", 0, true, "", 0},
        {"<div></div>", "", "<div", "</div>", 0, true, "", 0},
        // GBK: "疎" is AF 5B, its trail byte is "[": the marker found inside it does not count.
        {"\xAF[b]x[/b][b]中[/b]", "[b]", "[b]", "[/b]", 0, true, "[b]中[/b]", 11},
        {"\xAF[b]x[/b][b]中[/b]", "[b]", "[b]", "[/b]", 0, false, "[b]中[/b]", 11},
        // "諥" is D5 40: a close marker starting with "@" is not found in its trail byte.
        {"@a 1\xD5@/a@/a", "@a", "@a", "@/a", 0, true, "@a 1\xD5@/a@/a", 2},
    };
    for (const auto& c : cases) {
        long long next = -1;
        EXPECT_EQ(ElementAt(c.text, c.start, c.open, c.close, c.position, c.ignoreCase, &next), c.element)
            << c.text << " / " << c.start;
        EXPECT_EQ(next, c.next) << c.text << " / " << c.start;
    }
}

// The element search written out the long way: every open and close position to the end of the
// text, then the matching over the lists. Slow, but plainly right, for comparison on small texts.
Text ReferenceElementAt(const std::string& text, const std::string& start, const std::string& open,
                        const std::string& close, long long position, bool ignoreCase) {
    const std::size_t s = GbkFind(text, start, position > 1 ? position - 1 : 0, ignoreCase);
    if (s == kNoPos) {
        return {};
    }
    std::vector<std::size_t> opens, closes;
    for (std::size_t p = GbkFind(text, open, s, ignoreCase); p != kNoPos; p = GbkFind(text, open, p + open.size(), ignoreCase)) {
        opens.push_back(p);
    }
    if (opens.empty()) {
        return {};
    }
    for (std::size_t p = GbkFind(text, close, opens[0], ignoreCase); p != kNoPos;
         p = GbkFind(text, close, p + close.size(), ignoreCase)) {
        closes.push_back(p);
    }
    if (closes.empty()) {
        return {};
    }
    std::size_t d = closes[0];
    for (std::size_t l = 1; l < opens.size(); ++l) {
        if (d < opens[l]) {
            break;
        }
        if (l + 1 > closes.size()) {
            return {};
        }
        d = closes[l];
    }
    return d < opens[0] ? Text() : text.substr(opens[0], d - opens[0] + close.size());
}

TEST(Markup, ElementAtAgreesWithTheFullPositionLists) {
    const std::vector<std::string> pieces = {"<div", "</div>", "<DIV", "</DIV>", "<di", "x", "\xD5", ">", "<d>"};
    std::mt19937 random(2024);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        for (int n = random() % 14; n > 0; --n) {
            text += pieces[random() % pieces.size()];
        }
        const bool ignoreCase = round % 3 != 0;
        const long long position = static_cast<long long>(random() % 8);
        ASSERT_EQ(ElementAt(text, "<div", "<div", "</div>", position, ignoreCase),
                  ReferenceElementAt(text, "<div", "<div", "</div>", position, ignoreCase))
            << text << " from " << position;
        // A start marker that begins with the open marker in other letters.
        ASSERT_EQ(ElementAt(text, "<DIV", "<div", "</div>", position, ignoreCase),
                  ReferenceElementAt(text, "<DIV", "<div", "</div>", position, ignoreCase))
            << text << " from " << position;
        // Open and close markers that can start at the same place.
        ASSERT_EQ(ElementAt(text, "<d", "<d", "<div", position, ignoreCase),
                  ReferenceElementAt(text, "<d", "<d", "<div", position, ignoreCase))
            << text << " from " << position;
        ASSERT_EQ(ElementAt(text, "<d", "<di", "v>", position, ignoreCase),
                  ReferenceElementAt(text, "<d", "<di", "v>", position, ignoreCase))
            << text << " from " << position;
    }
}

// AllElements the long way: the reference element search from each returned position.
std::vector<Text> ReferenceAllElements(const std::string& text, const std::string& start, const std::string& open,
                                       const std::string& close) {
    std::vector<Text> elements;
    long long position = 0;
    for (;;) {
        const Text element = ReferenceElementAt(text, start, open, close, position, true);
        if (element.empty()) {
            return elements;
        }
        elements.push_back(element);
        // The element starts at its first open marker at or after the start marker.
        const std::size_t s = GbkFind(text, start, position > 1 ? position - 1 : 0, true);
        position = static_cast<long long>(GbkFind(text, open, s, true)) + 2;
    }
}

TEST(Markup, AllElementsAgreesWithRepeatedSearches) {
    const std::vector<std::string> pieces = {"<div", "<div k>", "</div>", "<DIV K>", "</DIV>", "x", "\xD5", "<d", ">"};
    struct Markers {
        std::string start, open, close;
    } markerSets[] = {
        {"<div k", "<div", "</div>"},  // the start marker begins with the open marker
        {"<div", "<div", "</div>"},
        {"k>", "<div", "</div>"},      // it does not
        {"<d", "<d", "</div>"},
        {"<div k", "<d", "</div>"},
    };
    std::mt19937 random(77);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int n = random() % 16; n > 0; --n) {
            text += pieces[random() % pieces.size()];
        }
        for (const auto& m : markerSets) {
            ASSERT_EQ(AllElements(text, m.start, m.open, m.close), ReferenceAllElements(text, m.start, m.open, m.close))
                << text << " / " << m.start;
        }
    }
}

TEST(Markup, SearchPageShape) {
    const std::string page = SearchPage(3);
    const Text left = ElementAt(page, "<div id=#引号content_left#引号>", "<div", "</div>");
    ASSERT_EQ(left.rfind("<div id=\"content_left\">", 0), 0u);
    ASSERT_EQ(left.find("相关搜索"), std::string::npos);
    const std::vector<Text> blocks = AllElements(left, kResultStart, "<div", "</div>");
    ASSERT_EQ(blocks.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(blocks[i], ResultBlock(i + 1));
        const Text title = ElementAt(blocks[i], "<h3 ", "<h3", "</h3>");
        EXPECT_EQ(TextBetween(title, "href = \"", "\""), "http://127.0.0.1/link?url=" + std::to_string(i + 1));
    }
    // A page without the result column yields no blocks.
    EXPECT_EQ(ElementAt("<html>验证</html>", "<div id=#引号content_left#引号>", "<div", "</div>"), "");
    EXPECT_TRUE(AllElements("", kResultStart, "<div", "</div>").empty());
}

TEST(Markup, AllElementsFindsNestedElementsToo) {
    const std::string text = "<i k>a<i k>b</i></i><i k>c</i>";
    EXPECT_EQ(AllElements(text, "<I K>", "<i", "</i>"),
              (std::vector<Text>{"<i k>a<i k>b</i></i>", "<i k>b</i>", "<i k>c</i>"}));
    // An unclosed element ends the list.
    EXPECT_EQ(AllElements("<i k>a</i><i k>b<i k>c</i>", "<i k>", "<i", "</i>"), (std::vector<Text>{"<i k>a</i>"}));
}

TEST(Markup, HugeAndDeepInputsStayLinear) {
    // 100 000 nested divs inside one element: found balanced, in one pass.
    std::string deep = "<div class=a>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<div>";
    }
    for (int i = 0; i < 100000; ++i) {
        deep += "</div>";
    }
    deep += "</div>";
    EXPECT_EQ(ElementAt(deep + "<div>x</div>", "<div class=a>", "<div", "</div>").size(), deep.size());
    // The same without closing tags, and a 4 MB page of 4000 blocks.
    EXPECT_EQ(ElementAt(deep.substr(0, 13 + 5 * 100000), "<div class=a>", "<div", "</div>"), "");
    EXPECT_EQ(AllElements(SearchPage(4000), kResultStart, "<div", "</div>").size(), 4000u);
}

TEST(Markup, AllSegments) {
    struct Case {
        std::string text, start, end;
        std::vector<Text> segments;
    } cases[] = {
        {"<span>a</span>x<span class=b>中</span>", "<span", "</span>", {"<span>a</span>", "<span class=b>中</span>"}},
        // A start marker inside a segment begins a segment of its own.
        {"<p>a<p>b</p>", "<p>", "</p>", {"<p>a<p>b</p>", "<p>b</p>"}},
        {"<span>a", "<span", "</span>", {}},
        {"<SPAN>a</SPAN>", "<span", "</span>", {}},
        {"", "<span", "</span>", {}},
        {"abc", "", "c", {}},
        // A start marker in a trail byte ("諥" is D5 40) is not one.
        {"\xD5@s@e @s1@e", "@s", "@e", {"@s1@e"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AllSegments(c.text, c.start, c.end), c.segments) << c.text;
    }
}

TEST(Markup, InnerText) {
    struct Case {
        std::string segment, close, text;
    } cases[] = {
        {"<span class=\"x\">hello</span>", "</span>", "hello"},
        {"<span><b>粗</b>体</span>", "</span>", "体"},
        {"<span>a</span><span>b</span>", "</span>", "b"},
        {"<span>hello", "</span>", ""},
        {"hello</span>", "</span>", ""},
        {"", "</span>", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(InnerText(c.segment, c.close), c.text) << c.segment;
    }
}

TEST(Markup, LocationValue) {
    struct Case {
        std::string headers, value;
    } cases[] = {
        {"HTTP/1.1 302 Found\r\nLocation: https://h/s?id=1\r\nServer: x\r\n", "https://h/s?id=1"},
        {"HTTP/1.1 302 Found\r\nLOCATION: http://a/b", "http://a/b"},
        {"location: /x\r\n\r\n", "/x"},
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", ""},
        {"Location:/nospace\r\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LocationValue(c.headers), c.value) << c.headers;
    }
}

TEST(Markup, QueryParam) {
    struct Case {
        std::string address, name, value;
    } cases[] = {
        {"https://h/s?id=123&x=1", "id", "123"},
        {"https://h/s?id=123&x=1", "&id", "123"},
        {"https://h/s?id=123&x=1", "ID", ""},
        {"https://h/s?id=123&x=1", "x", "1"},
        {"https://h/s?id=123&x=1", "y", ""},
        {"https://h/s?id=", "id", ""},
        {"id=5&z", "id", "5"},
        {"a?b=1?id=7&b=2", "id", "7"},
        // An item without "=" has no name, so it never matches, not even the empty name.
        {"https://h/s?flag&=5", "", "5"},
        {"https://h/s?flag", "", ""},
        {"https://h/s?x=a=b", "x", "a=b"},
        {"https://h/s?名=值", "名", "值"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QueryParam(c.address, c.name), c.value) << c.address << " / " << c.name;
    }
}

TEST(Markup, PadNumber) {
    EXPECT_EQ(PadNumber(1, 2), " 1");
    EXPECT_EQ(PadNumber(12, 2), "12");
    EXPECT_EQ(PadNumber(123, 2), "123");
    EXPECT_EQ(PadNumber(7, 0), "7");
    EXPECT_EQ(PadNumber(-1, 3), " -1");
}

TEST(Markup, LongWalksLetTheWindowProcessEvents) {
    int pumps = 0;
    SetPumpHook([&pumps] { ++pumps; });
    EXPECT_EQ(AllElements(SearchPage(1001), kResultStart, "<div", "</div>").size(), 1001u);
    EXPECT_EQ(pumps, 3);  // before the 1st, the 501st and the 1001st element
    pumps = 0;
    EXPECT_EQ(AllSegments("<s>a</s><s>b</s>", "<s>", "</s>").size(), 2u);
    EXPECT_EQ(pumps, 6);
    SetPumpHook(nullptr);
}

}  // namespace
}  // namespace lanque
