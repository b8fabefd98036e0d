#include <gtest/gtest.h>

#include "generate/rewrite_client.h"
#include "running_services.h"
#include "script/json_document.h"
#include "services/rewrite_service.h"
#include "support/test_support.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {
namespace {

using services::RewriteUtf8;
using test::Utf8;

Text Uppered(Text text) {
    for (char& c : text) c = AsciiUpper(c);
    return text;
}

TEST(RewriteEngine, RewritesByPhraseTableAndClauseOrder) {
    struct Case {
        std::u8string_view source;
        std::u8string_view expected;
        int originality;
    } const cases[] = {
        {u8"", u8"", 0},
        {u8"abc 123", u8"abc 123", 0},
        {u8"非常好", u8"十分好", 67},  // two of three characters changed
        {u8"十分好", u8"非常好", 67},  // the table works both ways
        // three clauses: the first two change places, the sentence mark stays
        {u8"甲乙，丙，丁。", u8"丙，甲乙，丁。", 57},
        // two clauses are left in their order
        {u8"甲，乙。", u8"甲，乙。", 0},
        // a backslash pair and a line break are boundaries nothing moves across
        {u8"甲，乙\\n丙，丁，戊", u8"甲，乙\\n丁，丙，戊", 20},
        {u8"甲，乙\r\n丙，丁，戊", u8"甲，乙\r\n丁，丙，戊", 20},
    };
    for (const Case& c : cases) {
        const auto result = RewriteUtf8(Utf8(c.source));
        EXPECT_EQ(result.text, Utf8(c.expected)) << Utf8(c.source);
        EXPECT_EQ(result.originality, c.originality) << Utf8(c.source);
    }
}

TEST(RewriteEngine, KeepsStrayBytesAndIsDeterministic) {
    const std::string source = "\xFF" + Utf8(u8"我们") + "\x80";
    const auto first = RewriteUtf8(source);
    EXPECT_EQ(first.text, "\xFF" + Utf8(u8"咱们") + "\x80");
    EXPECT_EQ(RewriteUtf8(source).text, first.text);
}

class RewriteServiceTest : public test::RunningServices {
protected:
    // Sends a body the way the program does and reads the reply with the program's own reader.
    JsonDocument Post(const std::string& body, const std::string& type = "application/x-www-form-urlencoded") {
        auto client = Client(services::Service::kRewrite);
        auto reply = client.Post("/api.php", body, type.c_str());
        JsonDocument document;
        EXPECT_TRUE(reply) << httplib::to_string(reply.error());
        if (reply) {
            EXPECT_EQ(reply->status, 200);
            EXPECT_NE(reply->get_header_value("Content-Type").find("application/json"), std::string::npos);
            ReadReply(reply->body, document);
        }
        return document;
    }
    JsonDocument PostForm(std::string_view user, std::string_view secret, const Text& gbkText) {
        const Text packed = PackText(gbkText);
        return Post(FormBody(user, packed, MakeSign(secret, packed)));
    }
};

TEST_F(RewriteServiceTest, AcceptsBothAccountsWithAGoodSign) {
    const Text source = "我们非常喜欢这个方法，因为它简单，而且快速。\r\n第二段";
    const Text expected = "由于它简便，咱们十分喜爱这个办法，并且迅速。\\n第二段";
    for (const auto& [user, secret] : services::DefaultAccounts()) {
        const JsonDocument reply = PostForm(user, secret, source);
        EXPECT_EQ(reply.GetText("str"), expected) << user;
        EXPECT_EQ(reply.GetText("ck"), "67") << user;
    }
    EXPECT_EQ(PostForm(kGenerationUser, kGenerationSecret, source).GetText("str"), expected);
}

TEST_F(RewriteServiceTest, EmptyTextIsAnsweredWithEmptyText) {
    const JsonDocument reply = PostForm(kGenerationUser, kGenerationSecret, "");
    EXPECT_EQ(reply.TypeOf("str"), JsonDocument::kString);
    EXPECT_EQ(reply.GetText("str"), "");
    EXPECT_EQ(reply.GetText("ck"), "0");
}

TEST_F(RewriteServiceTest, RefusesWithoutStr) {
    const Text packed = PackText("我们");
    const Text sign = MakeSign(kGenerationSecret, packed);
    const std::string cases[] = {
        FormBody("admin", packed, MakeSign("wrong", packed)),               // wrong secret
        FormBody("admin", packed, Uppered(sign)),                 // the sign is lower case
        FormBody("nobody", packed, sign),                                   // unknown user
        "id=vip&user=admin&str=" + packed + "&num=1",                       // no sign
        "id=svip&user=admin&str=" + packed + "&num=1&sign=" + sign,         // wrong id
        FormBody("admin", "@@@@", MakeSign(kGenerationSecret, "@@@@")),     // not Base64
        "",
    };
    for (const std::string& body : cases) {
        const JsonDocument reply = Post(body);
        EXPECT_EQ(reply.TypeOf("str"), JsonDocument::kAbsentOrNull) << body;
        EXPECT_NE(reply.GetText("code"), "0") << body;
        EXPECT_FALSE(reply.GetText("msg").empty()) << body;
    }
}

TEST_F(RewriteServiceTest, UploadIsRewrittenWithItsLineBreaks) {
    const Text file = "第一行，第二，第三。\r\n我们";
    const JsonDocument reply =
        Post(UploadBody("文章.txt", file), "multipart/form-data; boundary=" + std::string(kUploadBoundary));
    EXPECT_EQ(reply.GetText("str"), "第二，第一行，第三。\r\n咱们");
    EXPECT_EQ(reply.GetText("ck"), "43");  // 6 of 14 characters
}

TEST_F(RewriteServiceTest, UploadOfAnEmptyFileGetsEmptyText) {
    const JsonDocument reply =
        Post(UploadBody("empty.txt", ""), "multipart/form-data; boundary=" + std::string(kUploadBoundary));
    EXPECT_EQ(reply.TypeOf("str"), JsonDocument::kString);
    EXPECT_EQ(reply.GetText("str"), "");
}

TEST_F(RewriteServiceTest, UploadWithoutFileIsRefused) {
    const std::string body = "--" + std::string(kUploadBoundary) +
                             "\r\nContent-Disposition: form-data; name=\"num\"\r\n\r\n1\r\n--" +
                             std::string(kUploadBoundary) + "--";
    const JsonDocument reply = Post(body, "multipart/form-data; boundary=" + std::string(kUploadBoundary));
    EXPECT_EQ(reply.TypeOf("str"), JsonDocument::kAbsentOrNull);
}

}  // namespace
}  // namespace lanque

namespace lanque {
namespace {

TEST(UploadParts, ReadsTheProgramsBodyExactly) {
    const std::string type = "multipart/form-data; boundary=" + std::string(kUploadBoundary);
    std::map<std::string, std::string> parts;
    ASSERT_TRUE(services::ParseMultipart(type, UploadBody("a.txt", "x\r\n--y"), parts));
    EXPECT_EQ(parts["num"], "1");
    EXPECT_EQ(parts["file"], "x\r\n--y");
    ASSERT_TRUE(services::ParseMultipart(type, UploadBody("a.txt", ""), parts));
    EXPECT_EQ(parts["file"], "");
    ASSERT_TRUE(services::ParseMultipart(type, UploadBody("a.txt", "z") + "\r\n", parts));  // a line break after it
    const Bytes good = UploadBody("a.txt", "z");
    for (const std::string& bad : {good.substr(0, good.size() - 2), good.substr(2), std::string()}) {
        EXPECT_FALSE(services::ParseMultipart(type, bad, parts)) << bad;
    }
    EXPECT_FALSE(services::ParseMultipart("multipart/form-data", good, parts));
}

}  // namespace
}  // namespace lanque
