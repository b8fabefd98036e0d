#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "running_services.h"
#include "services/pages.h"
#include "text/cutters.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {
namespace {

// The result blocks of a GBK result page, cut at the block marker inside the result column.
std::vector<Text> ResultBlocks(const Text& page) {
    const Text column = TextBetween(page, "<div id=\"content_left\">", "<div id=\"content_right\">");
    std::vector<Text> pieces = GbkSplit(column, "<div class=\"result c-container \" id=\"");
    if (!pieces.empty()) pieces.erase(pieces.begin());
    return pieces;
}

class PagesTest : public test::RunningServices {
protected:
    Text GetGbk(services::Service service, const std::string& path, int& status) {
        auto client = Client(service);
        auto reply = client.Get(path);
        status = reply ? reply->status : -1;
        return reply ? Utf8ToGbk(reply->body) : Text();
    }
    // Follows one redirect link of a result page; the Location it answers.
    std::string Resolve(const Text& link, int& status) {
        const std::string prefix = Base(services::Service::kSearch);
        EXPECT_EQ(link.rfind(prefix, 0), 0u) << link;
        auto client = Client(services::Service::kSearch);
        auto reply = client.Get(link.substr(prefix.size()));
        status = reply ? reply->status : -1;
        return reply ? reply->get_header_value("Location") : std::string();
    }
};

TEST_F(PagesTest, ResultPagesLeadToArticlePages) {
    int status = 0;
    const Text page = GetGbk(services::Service::kSearch,
                             "/s?ie=utf-8&wd=site%3A127.0.0.1%20" + UrlEncode("中国 seo", true, true) + "&pn=20", status);
    EXPECT_EQ(status, 200);
    const std::vector<Text> blocks = ResultBlocks(page);
    ASSERT_EQ(blocks.size(), static_cast<size_t>(services::kResultsPerPage));
    EXPECT_EQ(blocks[0].substr(0, 3), "21\"");  // page 3 starts with result 21
    std::set<std::string> ids;
    for (const Text& block : blocks) {
        const Text title = TextBetween(block, "<h3 ", "</h3>");
        const Text link = TextBetween(title, "href = \"", "\"");
        const std::string location = Resolve(link, status);
        EXPECT_EQ(status, 302);
        const std::string article = Base(services::Service::kArticle) + "/s?id=";
        ASSERT_EQ(location.rfind(article, 0), 0u) << location;
        const std::string id = location.substr(article.size());
        ids.insert(id);
        const Text articlePage = GetGbk(services::Service::kArticle, "/s?id=" + id, status);
        EXPECT_EQ(status, 200);
        EXPECT_NE(articlePage.find(id), std::string::npos);
        // The result's title is the article's title.
        const Text articleTitle = TextBetween(TextBetween(articlePage, "<div class=\"article-title\">", "</div>"), "<h2>", "</h2>");
        EXPECT_FALSE(articleTitle.empty());
        EXPECT_NE(title.find(articleTitle), std::string::npos);
    }
    EXPECT_EQ(ids.size(), blocks.size());
}

TEST_F(PagesTest, PagesAreStableAndDifferByKeywordAndPage) {
    EXPECT_EQ(services::ResultArticleId("a", 0, 0), services::ResultArticleId("a", 0, 0));
    EXPECT_NE(services::ResultArticleId("a", 0, 0), services::ResultArticleId("b", 0, 0));
    EXPECT_NE(services::ResultArticleId("a", 0, 0), services::ResultArticleId("a", 1, 0));
    // The last block of a page is the same article for every keyword.
    const int last = services::kResultsPerPage - 1;
    EXPECT_EQ(services::ResultArticleId("a", 2, last), services::ResultArticleId("b", 2, last));
    EXPECT_NE(services::ResultArticleId("a", 2, last), services::ResultArticleId("a", 3, last));
    EXPECT_EQ(services::SearchResultPage("k", 4, "http://x"), services::SearchResultPage("k", 4, "http://x"));
}

TEST(PageQuery, KeywordAndPageOfTheQuery) {
    EXPECT_EQ(services::KeywordOfQuery("site:baijiahao.baidu.com a b"), "a b");
    EXPECT_EQ(services::KeywordOfQuery("plain"), "plain");
    EXPECT_EQ(services::KeywordOfQuery("site:only"), "");
    EXPECT_EQ(services::PageOfPn("00"), 0);
    EXPECT_EQ(services::PageOfPn("10"), 1);
    EXPECT_EQ(services::PageOfPn("20"), 2);
    EXPECT_EQ(services::PageOfPn("x"), 0);
    EXPECT_EQ(services::PageOfPn("99999999999999999999"), 10000000);
}

TEST(PageQuery, LinkTokensRoundTripAndRefuseJunk) {
    std::string id;
    EXPECT_TRUE(services::ArticleIdOfToken(services::LinkToken("1712345"), id));
    EXPECT_EQ(id, "1712345");
    for (const char* junk : {"", "6", "zz", "3b3b", "6b6d6"}) {
        EXPECT_FALSE(services::ArticleIdOfToken(junk, id)) << junk;
    }
}

TEST_F(PagesTest, ArticlePageHasTitleAndParagraphs) {
    int status = 0;
    const Text page = GetGbk(services::Service::kArticle, "/s?id=1234567", status);
    EXPECT_EQ(status, 200);
    const Text content = TextBetween(page, "<div class=\"article-content\">", "<div class=\"article-source\">");
    const std::vector<Text> spans = GbkSplit(content, "<span class=\"bjh-p\">");
    ASSERT_GE(spans.size(), 4u);  // text before the first span, then three paragraphs or more
    EXPECT_NE(content.find("<span class=\"bjh-p\">   </span>"), std::string::npos);  // one blank paragraph
    EXPECT_NE(content.find("<div class=\"img-container\">"), std::string::npos);
}

TEST_F(PagesTest, MissingArticlesAndLinksAre404) {
    int status = 0;
    for (const char* path : {"/s", "/s?id=", "/s?id=12a", "/s?id=1234567890123456789012345"}) {
        const Text page = GetGbk(services::Service::kArticle, path, status);
        EXPECT_EQ(status, 404) << path;
        EXPECT_EQ(page.find("article-title"), std::string::npos);
    }
    Resolve(Base(services::Service::kSearch) + "/link?url=zz", status);
    EXPECT_EQ(status, 404);
    GetGbk(services::Service::kSearch, "/s", status);
    EXPECT_EQ(status, 200);  // no query: a page without results
}

TEST_F(PagesTest, NoticeAndSitePages) {
    auto client = Client(services::Service::kNotice);
    auto posted = client.Post("/notice", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 200);
    const Text notice = Utf8ToGb2312(posted->body);
    EXPECT_NE(notice.find("岚雀AI原创内容生成软件"), std::string::npos);
    EXPECT_EQ(notice.substr(notice.size() - 2), "\r\n");
    for (const char* path : {"/", "/home", "/api"}) {
        auto page = client.Get(path);
        ASSERT_TRUE(page) << path;
        EXPECT_EQ(page->status, 200) << path;
        EXPECT_NE(page->get_header_value("Content-Type").find("utf-8"), std::string::npos);
    }
}

}  // namespace
}  // namespace lanque
