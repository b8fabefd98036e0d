#include "script/json_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace lanque {
namespace {

using Variant = JsonDocument::Variant;

TEST(JsonDocument, ReadsTheRewriteReply) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(R"({"str":"abc","ck":"85%"})"));
    EXPECT_EQ(document.GetText("str"), "abc");
    EXPECT_EQ(document.GetText("ck"), "85%");
    EXPECT_EQ(document.GetText("missing"), "");

    ASSERT_TRUE(document.Parse(R"({"str":12})"));
    EXPECT_EQ(document.GetText("str"), "12");

    document.Clear();
    EXPECT_EQ(document.GetText("str"), "");
    EXPECT_EQ(document.ToText(), "{}");
}

TEST(JsonDocument, ReadsTheTranslationReplyInBothVariants) {
    // Texts in and out are GBK: the narrow literals here are GBK bytes.
    const Text reply = R"([[["Hello","你好"],["World","世界"]],null,"zh-CN"])";
    for (Variant variant : {Variant::kGeneral, Variant::kTranslation}) {
        JsonDocument document(variant);
        ASSERT_TRUE(document.Parse(reply));
        EXPECT_EQ(document.Count("[0]"), 2);
        EXPECT_EQ(document.GetText("[0][1][0]"), "World");
        EXPECT_EQ(document.GetText("[0][0][1]"), "你好");
        EXPECT_EQ(document.GetText("[1]"), "");
        EXPECT_EQ(document.GetText("[2]"), "zh-CN");
        EXPECT_EQ(document.GetText("[0][5][0]"), "");
        EXPECT_EQ(document.ToText(), reply);
    }
}

TEST(JsonDocument, UnreadableTextLeavesEveryQueryEmpty) {
    const char* texts[] = {"", "   \r\n", "null", "{", "{\"a\":}", "[1 2]", "'abc'", "{a:1}", "abc", "\"open",
                           "[1]]", "{\"a\":1}x", "alert(1)", "function(){return 1}()", "{\"a\":1,}", "[,,1",
                           "\x81", "{\"a\":\"\\ud800\"}", "\"\\x41\"", "0x10",
                           "[1e400.5]", "[01e400]", "[-]", "[1.e400]", "[+1]", "[.5]"};
    for (const char* text : texts) {
        JsonDocument document;
        EXPECT_FALSE(document.Parse(text)) << text;
        EXPECT_EQ(document.GetText("str"), "") << text;
        EXPECT_EQ(document.GetText("[0]"), "") << text;
        EXPECT_EQ(document.Count("[0]"), 0) << text;
        EXPECT_EQ(document.Count(), 0) << text;
        EXPECT_EQ(document.TypeOf("str"), JsonDocument::kFailed) << text;
        EXPECT_FALSE(document.Has("str")) << text;
    }
    JsonDocument empty;
    empty.Parse("");
    EXPECT_EQ(empty.ToText(), "");
    EXPECT_EQ(empty.TypeOf(), JsonDocument::kAbsentOrNull);
    JsonDocument broken;
    broken.Parse("{");
    EXPECT_EQ(broken.ToText(), "null");
}

TEST(JsonDocument, ScalarsAreValuesToo) {
    const struct {
        const char* text;
        const char* asText;
        int type;
    } cases[] = {{"\"abc\"", "abc", JsonDocument::kString},
                 {"5", "5", JsonDocument::kNumber},
                 {" true ", "true", JsonDocument::kBoolean},
                 {"false", "false", JsonDocument::kBoolean}};
    for (const auto& c : cases) {
        JsonDocument document;
        EXPECT_TRUE(document.Parse(c.text)) << c.text;
        EXPECT_EQ(document.GetText(""), c.asText);
        EXPECT_EQ(document.TypeOf(), c.type);
        EXPECT_EQ(document.GetText("x"), "") << "a scalar has no members";
        EXPECT_EQ(document.TypeOf("x"), JsonDocument::kFailed);
    }
}

TEST(JsonDocument, ArraysWithElidedMembers) {
    const struct {
        const char* text;
        int count;
        const char* json;
    } cases[] = {
        {"[1,,2]", 3, "[1,null,2]"},
        {"[,]", 1, "[null]"},
        {"[,,]", 2, "[null,null]"},
        {"[1,2,]", 2, "[1,2]"},
        {"[1,,]", 2, "[1,null]"},
        {"[ , 1 ]", 2, "[null,1]"},
        {"[\"a,,b\",[,],\"[,]\"]", 3, "[\"a,,b\",[null],\"[,]\"]"},
        {"[\"q\\\",,\",,]", 2, "[\"q\\\",,\",null]"},  // an escaped quote does not end the string
        {"[]", 0, "[]"},
    };
    for (const auto& c : cases) {
        JsonDocument document;
        ASSERT_TRUE(document.Parse(c.text)) << c.text;
        EXPECT_EQ(document.Count(), c.count) << c.text;
        EXPECT_EQ(document.ToText(), c.json) << c.text;
    }
    JsonDocument document;
    ASSERT_TRUE(document.Parse(R"({"a":[1,,"x"]})"));
    EXPECT_EQ(document.TypeOf("a[1]"), JsonDocument::kAbsentOrNull);
    EXPECT_EQ(document.GetText("a[1]"), "");
    EXPECT_EQ(document.GetText("a[2]"), "x");
    EXPECT_FALSE(document.Parse(R"({"a":1,,"b":2})")) << "elision belongs to arrays only";
}

TEST(JsonDocument, HugeNumbersNeverBreakTheReading) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(
        "[1e400, {\"s\":\"x\"}, -1e999, 1e-400, 18446744073709551615, -9223372036854775808,"
        " 123456789012345678901234567890, 12.5, 1e20, 2]"));
    EXPECT_EQ(document.GetText("[0]"), "Infinity");
    EXPECT_EQ(document.TypeOf("[0]"), JsonDocument::kNumber);
    EXPECT_EQ(document.GetText("[1].s"), "x");
    EXPECT_EQ(document.GetText("[2]"), "-Infinity");
    EXPECT_EQ(document.GetText("[3]"), "0");
    EXPECT_EQ(document.GetText("[4]"), "18446744073709551615");
    EXPECT_EQ(document.GetText("[5]"), "-9223372036854775808");
    EXPECT_EQ(document.GetText("[6]"), "1.2345678901234568e+29");
    EXPECT_EQ(document.GetText("[7]"), "12.5");
    EXPECT_EQ(document.GetText("[8]"), "100000000000000000000");
    EXPECT_EQ(document.GetText("[9]"), "2") << "numbers after the infinities keep their places";
    EXPECT_EQ(document.ToText().substr(0, 20), "[null,{\"s\":\"x\"},null");

    const std::string longNumber = "[" + std::string(20000, '9') + "]";
    ASSERT_TRUE(document.Parse(longNumber));
    EXPECT_EQ(document.GetText("[0]"), "Infinity");
    ASSERT_TRUE(document.Parse("[0." + std::string(20000, '0') + "1]"));
    EXPECT_EQ(document.GetText("[0]"), "0");
}

TEST(JsonDocument, DeepNestingIsRefusedNotFatal) {
    JsonDocument document;
    EXPECT_FALSE(document.Parse(std::string(200000, '[')));
    EXPECT_FALSE(document.Parse(std::string(100000, '[') + std::string(100000, ']')));
    EXPECT_FALSE(document.Parse(std::string(100000, '{')));
    EXPECT_EQ(document.GetText("[0]"), "");
    const std::string deep = std::string(400, '[') + "7" + std::string(400, ']');
    ASSERT_TRUE(document.Parse(deep));
    EXPECT_EQ(document.ToText(), deep);
    ASSERT_TRUE(document.Parse("[\"" + std::string(100000, '[') + "\"]")) << "brackets inside a string";
}

TEST(JsonDocument, PathsAndFailedSteps) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(R"({"a":{"b":[10,{"c":"deep"}],"n":null,"s":"text"},"0":"zero","名":"值"})"));
    const struct {
        const char* path;
        const char* text;
        int type;
    } cases[] = {
        {"a.b[0]", "10", JsonDocument::kNumber},
        {"a.b[1].c", "deep", JsonDocument::kString},
        {"a['b'][1][\"c\"]", "deep", JsonDocument::kString},
        {"a.b['1'].c", "deep", JsonDocument::kString},
        {"[0]", "zero", JsonDocument::kString},
        {"['0']", "zero", JsonDocument::kString},
        {"名", "值", JsonDocument::kString},
        {"a.b[ 5 ]", "", JsonDocument::kAbsentOrNull},
        {"a.b[-1]", "", JsonDocument::kAbsentOrNull},
        {"a.missing", "", JsonDocument::kAbsentOrNull},
        {"a.n", "", JsonDocument::kAbsentOrNull},
        {"a.missing.x", "", JsonDocument::kFailed},
        {"a.n.x", "", JsonDocument::kFailed},
        {"a.s.length", "", JsonDocument::kFailed},
        {"a.b[0][0]", "", JsonDocument::kFailed},
        {"a", "{\"b\":[10,{\"c\":\"deep\"}],\"n\":null,\"s\":\"text\"}", JsonDocument::kObject},
        {"a.b", "[10,{\"c\":\"deep\"}]", JsonDocument::kArray},
        {"a..b", "", JsonDocument::kFailed},
        {".a", "", JsonDocument::kFailed},
        {"a.", "", JsonDocument::kFailed},
        {"a[", "", JsonDocument::kFailed},
        {"a[x]", "", JsonDocument::kFailed},
        {"a['b'", "", JsonDocument::kFailed},
        {"1a", "", JsonDocument::kFailed},
        {"a b", "", JsonDocument::kFailed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(document.GetText(c.path), c.text) << c.path;
        EXPECT_EQ(document.TypeOf(c.path), c.type) << c.path;
    }
    EXPECT_EQ(document.GetText("a.b", true), "[10,{\"c\":\"deep\"}]");
    EXPECT_EQ(document.GetText("a.n", true), "null");
    EXPECT_EQ(document.GetText("a.missing", true), "");
    EXPECT_EQ(document.GetJson("a.s"), "\"text\"");
    EXPECT_EQ(document.GetText("", true), document.ToText());
}

TEST(JsonDocument, CountFollowsTheVariant) {
    const struct {
        const char* path;
        int general;
        int translation;
    } cases[] = {{"", 0, 3}, {"arr", 3, 3}, {"obj", 0, 2}, {"s", 0, 0}, {"n", 0, 0}, {"nothing", 0, 0},
                 {"nothing.x", 0, 0}, {"arr[1]", 0, 0}};
    const Text text = R"({"arr":[1,2,3],"obj":{"x":1,"y":2},"s":"abc"})";
    for (const auto& c : cases) {
        JsonDocument general(Variant::kGeneral);
        JsonDocument translation(Variant::kTranslation);
        ASSERT_TRUE(general.Parse(text));
        ASSERT_TRUE(translation.Parse(text));
        EXPECT_EQ(general.Count(c.path), c.general) << c.path;
        EXPECT_EQ(translation.Count(c.path), c.translation) << c.path;
    }
}

TEST(JsonDocument, SettersStoreTextsExactly) {
    JsonDocument document;
    const Text awkward = "C:\\new\r\n'quote' \"double\" 中文";
    document.SetText("p", awkward);
    EXPECT_EQ(document.GetText("p"), awkward);
    EXPECT_EQ(document.ToText(), "{\"p\":\"C:\\\\new\\r\\n'quote' \\\"double\\\" 中文\"}");
    JsonDocument reread;
    ASSERT_TRUE(reread.Parse(document.ToText()));
    EXPECT_EQ(reread.GetText("p"), awkward) << "what is written reads back the same";

    document.SetText("raw", "[1,{\"k\":true}]", true);
    EXPECT_EQ(document.GetText("raw[1]", true), "{\"k\":true}");
    document.SetText("emptyRaw", "", true);
    EXPECT_EQ(document.TypeOf("emptyRaw"), JsonDocument::kObject);
    document.SetText("bad", "{oops", true);
    document.SetRaw("bad", "{oops");
    document.SetRaw("bad", "");
    EXPECT_FALSE(document.Has("bad"));
    document.SetRaw("r", "\"x\"");
    EXPECT_EQ(document.GetText("r"), "x");

    document.SetNumber("n", 42);
    document.SetNumber("f", 0.25);
    EXPECT_EQ(document.GetText("n"), "42");
    EXPECT_EQ(document.GetNumber("f"), 0.25);
    document.SetText("numeric", " 17.5 ");
    EXPECT_EQ(document.GetNumber("numeric"), 17.5);
    EXPECT_EQ(document.GetNumber("p"), 0);
    EXPECT_EQ(document.GetNumber("missing"), 0);

    document.SetText("missing.child", "x");
    EXPECT_EQ(document.TypeOf("missing"), JsonDocument::kAbsentOrNull) << "no parent, nothing set";
    document.SetText("raw[1].k", "changed");
    EXPECT_EQ(document.GetText("raw[1].k"), "changed");
    document.SetText("raw[3]", "end");
    EXPECT_EQ(document.GetText("raw", true), "[1,{\"k\":\"changed\"},null,\"end\"]");
    document.SetText("raw[99999999]", "far");
    EXPECT_EQ(document.Count("raw"), 4) << "an assignment far past the end is refused";
}

TEST(JsonDocument, ArrayOperations) {
    JsonDocument document;
    document.Push("a");
    EXPECT_EQ(document.ToText(), "[\"a\"]") << "the root object became an array";
    document.Push("{\"k\":1}", "", true);
    document.Push("{bad", "", true);
    document.SetMember(0, "A");
    document.SetMember(2, "[2]", true);
    EXPECT_EQ(document.ToText(), "[\"A\",{\"k\":1},[2]]");
    EXPECT_EQ(document.MemberText(0), "A");
    EXPECT_EQ(document.MemberText(1, "", true), "{\"k\":1}");
    EXPECT_EQ(document.MemberText(0, "[2]"), "2");
    EXPECT_EQ(document.MemberObject(1).GetText("k"), "1");
    EXPECT_EQ(document.MemberObject(7).TypeOf(), JsonDocument::kAbsentOrNull);
    document.RemoveMember(0);
    document.RemoveMember(5);
    document.RemoveMember(-1);
    EXPECT_EQ(document.ToText(), "[{\"k\":1},[2]]");

    document.ResetAs(JsonDocument::kObject);
    document.Push("x", "list");
    document.Push("y", "list");
    document.Push("z", "list");
    document.Push("first", "scalar.inner");
    EXPECT_EQ(document.ToText(), "{\"list\":[\"x\",\"y\",\"z\"]}");
    document.RemoveAt("list[1]");
    document.RemoveAt("list[9]");
    document.RemoveAt("list");
    EXPECT_EQ(document.GetText("list", true), "[\"x\",\"z\"]");
    document.SetText("s", "text");
    document.Push("p", "s");
    EXPECT_EQ(document.GetText("s", true), "[\"p\"]") << "a non-array target becomes an array";

    document.ResetAs(JsonDocument::kArray);
    EXPECT_EQ(document.ToText(), "[]");
    document.ResetAs(3);
    EXPECT_EQ(document.ToText(), "[]");
    document.ResetAs(0);
    EXPECT_EQ(document.ToText(), "{}");
}

TEST(JsonDocument, WholeValueMembersAndKeys) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(R"({"b":1,"10":2,"a":null,"2":3,"名":{"x":1}})"));
    EXPECT_TRUE(document.Has("b"));
    EXPECT_FALSE(document.Has("a"));
    EXPECT_FALSE(document.Has("zz"));
    std::vector<Text> keys{"stale"};
    EXPECT_EQ(document.Keys(keys), 5);
    EXPECT_EQ(keys, (std::vector<Text>{"2", "10", "b", "a", "名"}));
    EXPECT_EQ(document.Keys(keys, "名"), 1);
    EXPECT_EQ(keys, std::vector<Text>{"x"});
    EXPECT_EQ(document.Keys(keys, "b"), 0);
    EXPECT_TRUE(keys.empty());

    document.Delete("b");
    document.Delete("名.x");
    EXPECT_EQ(document.ToText(), "{\"10\":2,\"a\":null,\"2\":3,\"名\":{}}");

    JsonDocument copy = document.GetObject("名");
    copy.SetText("y", "2");
    EXPECT_EQ(copy.ToText(), "{\"y\":\"2\"}");
    EXPECT_EQ(document.GetText("名", true), "{}") << "the copy is independent";

    document.SetWhole("plain");
    EXPECT_EQ(document.GetText(""), "plain");
    document.SetWhole("[1,,3]", true);
    EXPECT_EQ(document.ToText(), "[1,null,3]");
    EXPECT_EQ(document.Keys(keys), 3);
    document.SetWhole("not json", true);
    EXPECT_EQ(document.ToText(), "[1,null,3]");
    document.Delete("[0]");
    EXPECT_EQ(document.ToText(), "[null,null,3]");
}

TEST(JsonDocument, CopiesAndMovesKeepTheirOwnValues) {
    JsonDocument source(Variant::kTranslation);
    ASSERT_TRUE(source.Parse(R"({"x":{"y":1}})"));
    JsonDocument copy = source;
    copy.SetText("x.y", "2");
    EXPECT_EQ(source.GetText("x.y"), "1");
    JsonDocument moved = std::move(source);
    EXPECT_EQ(moved.GetText("x.y"), "1");
    EXPECT_EQ(moved.Count("x"), 1) << "the variant moves with the value";
    EXPECT_EQ(source.ToText(), "{}") << "a moved-from document is empty and usable";
    source.SetText("k", "v");
    EXPECT_EQ(source.GetText("k"), "v");
}

TEST(JsonDocument, UnicodeCrossesTheBoundaryAsGbk) {
    JsonDocument document;
    // \u escapes and raw characters read alike; a character GBK cannot hold comes out as "?".
    ASSERT_TRUE(document.Parse("{\"a\":\"\\u4f60\\u597d\",\"b\":\"\\ud83d\\ude00\",\"c\":\"\\u00e9\"}"));
    EXPECT_EQ(document.GetText("a"), "你好");
    EXPECT_EQ(document.GetText("b"), "?");
    EXPECT_EQ(document.GetText("c"), "é");
    document.SetText("键", "值");
    EXPECT_EQ(document.GetText("键"), "值");
}

}  // namespace
}  // namespace lanque
