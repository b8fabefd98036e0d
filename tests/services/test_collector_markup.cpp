#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/markup.h"
#include "running_services.h"
#include "services/pages.h"
#include "text/cutters.h"
#include "text/encodings.h"
#include "text/gbk.h"

// The reference pages read with the collector's own markup helpers, marker for marker.
namespace lanque {
namespace {

class CollectorMarkupTest : public test::RunningServices {
protected:
    Text GetGbk(services::Service service, const std::string& path) {
        auto reply = Client(service).Get(path);
        EXPECT_TRUE(reply && reply->status == 200) << path;
        return reply ? Utf8ToGbk(reply->body) : Text();
    }
    // The header block of one GET, without following its redirect.
    Text HeaderBlock(const std::string& path) {
        auto reply = Client(services::Service::kSearch).Get(path);
        Text block;
        if (reply) {
            block = "HTTP/1.1 " + std::to_string(reply->status) + "\r\n";
            for (const auto& [name, value] : reply->headers) block += name + ": " + value + "\r\n";
        }
        return block;
    }
};

TEST_F(CollectorMarkupTest, SearchPageBlocksResolveToArticles) {
    const Text page = GetGbk(services::Service::kSearch, "/s?ie=utf-8&wd=site%3A127.0.0.1%20" +
                                                             UrlEncode("关键词", true, true) + "&pn=00");
    const Text column = ElementAt(page, "<div id=#引号content_left#引号>", "<div", "</div>");
    ASSERT_FALSE(column.empty());
    EXPECT_EQ(column.find("content_right"), std::string::npos);  // the column ends at its own closing tag
    const std::vector<Text> blocks = AllElements(column, "<div class=\"result c-container \" id=\"", "<div", "</div>");
    ASSERT_EQ(blocks.size(), static_cast<size_t>(services::kResultsPerPage));
    const std::string searchBase = Base(services::Service::kSearch);
    const std::string articleHost = "//127.0.0.1:" + std::to_string(Port(services::Service::kArticle)) + "/";
    for (const Text& block : blocks) {
        const Text heading = ElementAt(block, "<h3 ", "<h3", "</h3>");
        const Text link = TextBetween(heading, "href = \"", "\"");
        ASSERT_EQ(link.rfind(searchBase, 0), 0u) << link;
        const Text location = LocationValue(HeaderBlock(link.substr(searchBase.size())));
        EXPECT_NE(location.find(articleHost), std::string::npos) << location;
        const Text id = QueryParam(location, "id");
        ASSERT_FALSE(id.empty());

        const Text article = GetGbk(services::Service::kArticle, "/s?id=" + id);
        EXPECT_NE(article.find(id), std::string::npos);
        const Text title = TextBetween(ElementAt(article, "<div class=\"article-title\">", "<div", "</div>"), "<h2>", "</h2>");
        EXPECT_FALSE(title.empty());
        const Text content = ElementAt(article, "<div class=\"article-content\">", "<div", "</div>");
        const Text body = TextBetween(content + "|||||", "<div class=\"article-content\">", "</div>|||||");
        EXPECT_NE(body.find("<div class=\"img-container\">"), std::string::npos);  // nested divs come along
        EXPECT_EQ(body.find("article-source"), std::string::npos);
        int paragraphs = 0, blank = 0;
        for (const Text& segment : AllSegments(body, "<span", "</span>")) {
            const Text text = InnerText(segment, "</span>", ">");
            (RemoveBlanks(text).empty() ? blank : paragraphs) += 1;
        }
        EXPECT_GE(paragraphs, 3);
        EXPECT_EQ(blank, 1);
    }
}

TEST_F(CollectorMarkupTest, PageWithoutQueryHasNoResultColumn) {
    const Text page = GetGbk(services::Service::kSearch, "/s");
    EXPECT_TRUE(ElementAt(page, "<div id=#引号content_left#引号>", "<div", "</div>").empty());
}

}  // namespace
}  // namespace lanque
