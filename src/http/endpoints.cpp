#include "http/endpoints.h"

#include <cstdlib>
#include <string>

namespace lanque {

namespace {

Text Loopback(int port) { return "http://127.0.0.1:" + std::to_string(port); }

void Override(Text& value, const char* variable) {
    const char* set = std::getenv(variable);
    if (set != nullptr && *set != '\0') {
        value = set;
    }
}

}  // namespace

Endpoints Endpoints::Defaults() {
    Endpoints e;
    e.rewrite = Loopback(kDefaultRewritePort);
    e.translate = "https://translate.google.com";
    e.search = "https://www.baidu.com";
    e.article = "https://baijiahao.baidu.com";
    e.proxy = "forward.xdaili.cn:80";
    e.notice = Loopback(kDefaultNoticePort) + "/notice";
    e.site = Loopback(kDefaultNoticePort) + "/";
    e.homePage = Loopback(kDefaultNoticePort) + "/home";
    e.apiDocs = Loopback(kDefaultNoticePort) + "/api";
    return e;
}

Endpoints Endpoints::FromEnvironment() {
    Endpoints e = Defaults();
    Override(e.rewrite, "LANQUE_REWRITE_URL");
    Override(e.translate, "LANQUE_TRANSLATE_URL");
    Override(e.search, "LANQUE_SEARCH_URL");
    Override(e.article, "LANQUE_ARTICLE_URL");
    Override(e.proxy, "LANQUE_PROXY");
    Override(e.notice, "LANQUE_NOTICE_URL");
    Override(e.site, "LANQUE_SITE_URL");
    Override(e.homePage, "LANQUE_HOME_URL");
    Override(e.apiDocs, "LANQUE_API_DOCS_URL");
    return e;
}

}  // namespace lanque
