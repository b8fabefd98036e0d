#include <gtest/gtest.h>

#include "generate/translation.h"
#include "running_services.h"
#include "services/translate_service.h"
#include "support/test_support.h"
#include "text/encodings.h"

namespace lanque {
namespace {

using services::TranslateUtf8;
using test::Utf8;

TEST(TranslateEngine, TranslatesBothWaysWithTheGlossary) {
    struct Case {
        std::u8string_view chinese;
        std::string_view english;
        std::u8string_view back;
    } const cases[] = {
        {u8"", "", u8""},
        {u8"你好，世界。", "hello, world. ", u8"您好，世界。"},
        {u8"我们的文章非常重要！", "we u7684 article very important! ", u8"咱们的文稿十分关键！"},
        {u8"中文abc", "u4E2Du6587 abc", u8"中文abc"},
        {u8"100%原创", "100% original", u8"100%原创"},
    };
    for (const Case& c : cases) {
        const std::string english = TranslateUtf8(Utf8(c.chinese), services::kToEnglish);
        EXPECT_EQ(english, c.english) << Utf8(c.chinese);
        EXPECT_EQ(TranslateUtf8(english, services::kToChinese), Utf8(c.back)) << english;
    }
}

TEST(TranslateEngine, EnglishWordsOutsideTheGlossaryStay) {
    EXPECT_EQ(TranslateUtf8("Hello brave new world.", services::kToChinese), Utf8(u8"您好brave new世界。"));
}

class TranslateServiceTest : public test::RunningServices {
protected:
    // One request as the program sends it: its address, token and body; the reply read by its own reader.
    Text Translate(const Text& gbk, int direction, const Text& token, int& status) {
        Endpoints endpoints;
        endpoints.translate = Base(services::Service::kTranslate);
        const Text address = TranslationAddress(endpoints, direction, token);
        auto client = Client(services::Service::kTranslate);
        auto reply = client.Post(address.substr(endpoints.translate.size()), TranslationBody(gbk),
                                 "application/x-www-form-urlencoded");
        status = reply ? reply->status : -1;
        return reply ? ReadTranslationReply(reply->body) : Text();
    }
};

TEST_F(TranslateServiceTest, RoundTripIsReproducible) {
    const Text source = "我们的文章非常重要！搜索引擎优化，100%原创。";
    int status = 0;
    const Text english = Translate(source, kChineseToEnglish, MakeToken(source), status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(english, "we u7684 article very important! search engine optimize, 100% original. ");
    const Text back = Translate(english, kEnglishToChinese, MakeToken(english), status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(back, "咱们的文稿十分关键！检索引擎优化，100%原创。");
    EXPECT_EQ(Translate(english, kEnglishToChinese, MakeToken(english), status), back);
}

TEST_F(TranslateServiceTest, WrongTokenIsRefused) {
    const Text source = "你好";
    int status = 0;
    EXPECT_EQ(Translate(source, kChineseToEnglish, MakeToken("你"), status), "");
    EXPECT_EQ(status, 403);
    EXPECT_EQ(Translate(source, kChineseToEnglish, "", status), "");
    EXPECT_EQ(status, 403);
}

TEST_F(TranslateServiceTest, EmptyTextIsAnswered) {
    int status = 0;
    EXPECT_EQ(Translate("", kChineseToEnglish, MakeToken(""), status), "");
    EXPECT_EQ(status, 200);
}

TEST_F(TranslateServiceTest, ReplyHasOneSegmentPerSentence) {
    const std::string reply = services::TranslationReply(Utf8(u8"你好。世界！"), services::kToEnglish);
    EXPECT_EQ(reply.rfind(Utf8(u8R"([[["hello. ","你好。",null,null,1],["world! ","世界！",null,null,1]],)"), 0), 0u)
        << reply;
}

TEST_F(TranslateServiceTest, BadRequestsAreRefused) {
    auto client = Client(services::Service::kTranslate);
    const std::string token = MakeToken("a");
    auto noQuery = client.Post("/translate_a/single?sl=auto&tl=en&tk=" + token, "x=a", "application/x-www-form-urlencoded");
    ASSERT_TRUE(noQuery);
    EXPECT_EQ(noQuery->status, 400);
    auto badLanguage = client.Post("/translate_a/single?sl=auto&tl=fr&tk=" + token, "q=a", "application/x-www-form-urlencoded");
    ASSERT_TRUE(badLanguage);
    EXPECT_EQ(badLanguage->status, 400);
}

}  // namespace
}  // namespace lanque
