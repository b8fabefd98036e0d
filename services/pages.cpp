#include "services/pages.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "services/service_text.h"

namespace lanque::services {

namespace {

constexpr std::u8string_view kTopics[] = {
    u8"网站优化", u8"内容创作", u8"关键词排名", u8"搜索引擎", u8"企业品牌", u8"移动互联网",
    u8"短视频运营", u8"电商平台", u8"数据分析", u8"用户体验", u8"人工智能", u8"本地生活",
};
constexpr std::u8string_view kAspects[] = {
    u8"方法", u8"技巧", u8"误区", u8"步骤", u8"要点", u8"经验",
};
constexpr std::u8string_view kTails[] = {
    u8"新手也能快速上手", u8"看完你就明白了", u8"很多人都做错了", u8"非常值得收藏", u8"业内人士这样说",
};
// Sentences of the article bodies; they use words of the rewriting table on purpose.
constexpr std::u8string_view kSentences[] = {
    u8"我们发现，如果内容质量不高，用户很快就会离开，所以一定要重视原创。",
    u8"目前许多企业已经开始使用数据来指导运营，效果非常明显。",
    u8"因为搜索引擎更喜欢有价值的页面，所以简单堆砌关键词并不能提高排名。",
    u8"选择合适的方法，能够帮助团队快速完成目标，而且成本更低。",
    u8"虽然市场竞争激烈，但是只要坚持做好产品，就一定能得到认可。",
    u8"特别是在移动端，页面加载速度是非常重要的一个因素。",
    u8"现在的用户更加看重体验，企业应该从细节入手，不断优化服务。",
    u8"一般来说，主要的流量来自长尾关键词，这一点经常被忽视。",
    u8"最近有人告诉我们，通过持续更新，网站的收录得到了明显改善。",
    u8"希望这些经验能够帮助大家，也欢迎在评论区分享你的看法。",
};

template <size_t N>
std::string Pick(const std::u8string_view (&list)[N], uint64_t value) {
    return U8(list[value % N]);
}

uint64_t IdHash(std::string_view id) { return HashText(id); }

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

std::string Paragraph(std::string_view id, int n) {
    uint64_t state = Mix64(IdHash(id) + static_cast<uint64_t>(n) * 7919);
    std::string text;
    const int sentences = 2 + static_cast<int>(state % 3);
    for (int k = 0; k < sentences; ++k) {
        state = Mix64(state);
        text += Pick(kSentences, state);
    }
    return text;
}

std::string PageHead(std::string_view title) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
           "</title></head>\n<body>\n";
}

}  // namespace

std::string KeywordOfQuery(std::string_view wd) {
    if (wd.substr(0, 5) == "site:") {
        const size_t blank = wd.find(' ');
        return blank == std::string_view::npos ? std::string() : std::string(wd.substr(blank + 1));
    }
    return std::string(wd);
}

int PageOfPn(std::string_view pn) {
    long value = 0;
    for (char c : pn) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return 0;
        }
        value = value * 10 + (c - '0');
        if (value > 100000000) {
            return 10000000;  // far beyond any real page; still a valid page
        }
    }
    return static_cast<int>(value / 10);
}

std::string ResultArticleId(std::string_view keyword, int page, int index) {
    const uint64_t seed = index == kResultsPerPage - 1
                              ? Mix64(0x706F70756C6172ULL + static_cast<uint64_t>(page))  // shared by every keyword
                              : HashText(std::string(keyword) + "#" + std::to_string(page) + "#" + std::to_string(index));
    char digits[24];
    std::snprintf(digits, sizeof digits, "17%016llu",
                  static_cast<unsigned long long>(seed % 10000000000000000ULL));
    return digits;
}

std::string LinkToken(std::string_view id) {
    std::string token;
    char hex[3];
    for (char c : id) {
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c) ^ 0x5A);
        token += hex;
    }
    return token;
}

bool ArticleIdOfToken(std::string_view token, std::string& id) {
    id.clear();
    if (token.empty() || token.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < token.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(std::string(token.substr(i, 2)).c_str(), "%2x", &value) != 1 ||
            !std::isxdigit(static_cast<unsigned char>(token[i + 1]))) {
            return false;
        }
        id.push_back(static_cast<char>(value ^ 0x5A));
    }
    return IsArticleId(id);
}

std::string SearchResultPage(std::string_view keyword, int page, std::string_view selfBase) {
    const std::string title = std::string(keyword) + U8(u8"_百度搜索");
    std::string html = PageHead(title);
    html += "<div id=\"wrapper\" class=\"wrapper_new\">\n<div id=\"head\"><div class=\"head_wrapper\">"
            "<form id=\"form\" action=\"/s\"><input id=\"kw\" name=\"wd\" value=\"" + HtmlEscape(keyword) +
            "\"></form></div></div>\n";
    html += "<div id=\"container\" class=\"container_s\">\n<div id=\"content_left\">\n";
    html += "<div class=\"result-op c-container new-pmd\" id=\"ad1\" tpl=\"ad\"><h3 class=\"t\"><a href=\"" +
            std::string(selfBase) + "/ad\">" + U8(u8"推广") + "</a></h3><div class=\"c-abstract\">" +
            U8(u8"广告内容") + "</div></div>\n";
    for (int i = 0; i < kResultsPerPage; ++i) {
        const std::string id = ResultArticleId(keyword, page, i);
        const std::string number = std::to_string(page * kResultsPerPage + i + 1);
        html += "<div class=\"result c-container \" id=\"" + number + "\" srcid=\"1599\" tpl=\"se_com_default\">";
        html += "<h3 class=\"t\"><a data-click=\"{'F':'778317EA','T':'" + number + "'}\" href = \"" +
                std::string(selfBase) + "/link?url=" + LinkToken(id) + "\" target=\"_blank\">" +
                HtmlEscape(ArticleTitle(id)) + "</a></h3>";
        html += "<div class=\"c-abstract\"><span class=\" newTimeFactor_before_abs m\">2026-12-01&nbsp;-&nbsp;</span>" +
                HtmlEscape(keyword) + U8(u8"相关内容……") + "</div>";
        html += "<div class=\"f13 c-gap-top-xsmall se_st_footer user-avatar\"><a class=\"c-showurl\">" +
                U8(u8"百家号") + "</a><div class=\"c-tools\" id=\"tools_" + number + "\"></div></div>";
        html += "</div>\n";
    }
    html += "</div>\n<div id=\"content_right\"><div class=\"cr-content\">" + U8(u8"相关搜索") + "</div></div>\n";
    html += "<div id=\"page\"><a href=\"/s?pn=" + std::to_string((page + 1) * 10) + "\">" + U8(u8"下一页") +
            "</a></div>\n</div>\n</div>\n</body></html>\n";
    return html;
}

bool IsArticleId(std::string_view id) {
    if (id.empty() || id.size() > 24) {
        return false;
    }
    for (char c : id) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string ArticleTitle(std::string_view id) {
    const uint64_t hash = IdHash(id);
    return Pick(kTopics, hash) + U8(u8"的") + std::to_string(3 + hash % 5) + U8(u8"个") + Pick(kAspects, hash >> 8) +
           U8(u8"，") + Pick(kTails, hash >> 16);
}

std::string ArticlePage(std::string_view id, std::string_view selfBase) {
    const std::string title = ArticleTitle(id);
    const int paragraphs = 3 + static_cast<int>(IdHash(id) % 4);
    std::string html = PageHead(title);
    html += "<link rel=\"canonical\" href=\"" + std::string(selfBase) + "/s?id=" + std::string(id) + "\">\n";
    html += "<div id=\"app\"><div class=\"article\" id=\"article\" data-id=\"" + std::string(id) + "\">\n";
    html += "<div class=\"article-title\"><h2>" + HtmlEscape(title) + "</h2></div>\n";
    html += "<div class=\"article-desc clearfix\"><div class=\"author-txt\"><p class=\"author-name\">" +
            U8(u8"岚雀参考号") + "</p><span class=\"date\">2026-12-01</span></div></div>\n";
    html += "<div class=\"article-content\">";
    for (int n = 0; n < paragraphs; ++n) {
        html += "<div class=\"dpu8C _2kCxD\"><p><span class=\"bjh-p\">" + HtmlEscape(Paragraph(id, n)) +
                "</span></p></div>";
        if (n == 0) {
            html += "<div class=\"_1NCGf\"><div class=\"img-container\"><img class=\"large\" src=\"" +
                    std::string(selfBase) + "/img/" + std::string(id) + ".jpg\"></div></div>";
            html += "<div class=\"dpu8C _2kCxD\"><p><span class=\"bjh-p\">   </span></p></div>";
        }
    }
    html += "</div>\n<div class=\"article-source\"><span>" + U8(u8"本文由岚雀参考服务生成") + "</span></div>\n";
    html += "</div></div>\n<script>var articleId = \"" + std::string(id) + "\";</script>\n</body></html>\n";
    return html;
}

std::string ArticleMissingPage() {
    return PageHead(U8(u8"页面不存在")) + "<div class=\"error\">" + U8(u8"文章不存在或已被删除") + "</div>\n</body></html>\n";
}

std::string NoticeText() {
    return U8(u8"【公告】欢迎使用岚雀AI原创内容生成软件。当前连接的是本地参考服务，仅用于测试与演示。\r\n");
}

std::string SitePage() {
    return PageHead(U8(u8"岚雀AI")) + "<h1>" + U8(u8"岚雀AI原创内容生成软件") + "</h1><p>" +
           U8(u8"本页面由本地参考服务提供。") + "</p><p><a href=\"/home\">" + U8(u8"主页") + "</a> | <a href=\"/api\">" +
           U8(u8"接口文档") + "</a></p>\n</body></html>\n";
}

std::string HomePage() {
    return PageHead(U8(u8"岚雀AI 主页")) + "<h1>" + U8(u8"岚雀AI 主页") + "</h1><p>" +
           U8(u8"原创生成、批量处理与内容采集。本页面由本地参考服务提供。") + "</p>\n</body></html>\n";
}

std::string ApiDocsPage() {
    return PageHead(U8(u8"伪原创接口文档")) + "<h1>" + U8(u8"伪原创接口文档") + "</h1>\n<pre>\n" +
           "POST /api.php  (application/x-www-form-urlencoded)\n"
           "  id=vip&amp;user=USER&amp;str=BASE64(UTF-8 text, line breaks as \\n)&amp;num=1&amp;sign=md5(secret + str)\n"
           "POST /api.php  (multipart/form-data)\n"
           "  num=1, file=@article.txt (text/plain)\n"
           "Reply (UTF-8 JSON): {\"code\":0,\"str\":\"...\",\"ck\":NN}\n"
           "Refusal: {\"code\":NNN,\"msg\":\"...\"} (no \"str\")\n</pre>\n</body></html>\n";
}

}  // namespace lanque::services
