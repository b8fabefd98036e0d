#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Pages of the reference search engine, article platform and notice service, all UTF-8 and all made from
// their address alone, so the same address always gives the same page.
//
// Search engine: a result page holds kResultsPerPage result blocks inside <div id="content_left">, each a
// <div class="result c-container " id="N"> whose <h3> link is written href = "..." and points at the
// engine's own redirect address "/link?url=TOKEN"; that address answers 302 with a Location on the article
// platform. Ids depend on the keyword and the page, except the last block of every page, a "popular"
// article that every keyword finds on that page (so the same article turns up under several keywords).
// Each page also carries an advertising block and a side column that the collector must pass over.
//
// Article platform: "/s?id=DIGITS" gives a page with <div class="article-title"><h2>title</h2></div> and
// <div class="article-content"> holding <span> paragraphs, nested divs, an image and one blank paragraph.
namespace lanque::services {

inline constexpr int kResultsPerPage = 10;

// The keyword of a decoded "wd" value: the text after a leading "site:HOST " restriction, or all of it.
std::string KeywordOfQuery(std::string_view wd);
// The 0-based page of a "pn" value ("00" and "0" are page 0, "10" page 1); 0 for text that is no number.
int PageOfPn(std::string_view pn);

// The article id of result block i (0-based) of a page.
std::string ResultArticleId(std::string_view keyword, int page, int index);

// A result page. selfBase is the engine's own base URL ("http://127.0.0.1:18603"), used in the links.
std::string SearchResultPage(std::string_view keyword, int page, std::string_view selfBase);

// The redirect token of an article id, and back; false for a token that names no article.
std::string LinkToken(std::string_view id);
bool ArticleIdOfToken(std::string_view token, std::string& id);

// True when the id is 1 to 24 ASCII digits.
bool IsArticleId(std::string_view id);
// Title and paragraphs of an article, and the whole page.
std::string ArticleTitle(std::string_view id);
std::string ArticlePage(std::string_view id, std::string_view selfBase);
std::string ArticleMissingPage();

// The notice shown in the program's log box at start-up; it ends with a line break.
std::string NoticeText();
// The site, home and API documentation pages named in the program's endpoints.
std::string SitePage();
std::string HomePage();
std::string ApiDocsPage();

}  // namespace lanque::services
