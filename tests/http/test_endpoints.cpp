#include <gtest/gtest.h>

#include <cstdlib>

#include "http/endpoints.h"

namespace lanque {
namespace {

TEST(Endpoints, DefaultsPointTheBundledServicesAtLoopback) {
    const Endpoints e = Endpoints::Defaults();
    EXPECT_EQ(e.rewrite, "http://127.0.0.1:18601");
    EXPECT_EQ(e.notice, "http://127.0.0.1:18606/notice");
    EXPECT_EQ(e.site, "http://127.0.0.1:18606/");
    EXPECT_EQ(e.homePage, "http://127.0.0.1:18606/home");
    EXPECT_EQ(e.apiDocs, "http://127.0.0.1:18606/api");
    EXPECT_EQ(e.proxy.substr(e.proxy.size() - 3), ":80");
}

TEST(Endpoints, EnvironmentOverridesWhenSetAndNotEmpty) {
    struct Case {
        const char* variable;
        Text Endpoints::*field;
    } const cases[] = {
        {"LANQUE_REWRITE_URL", &Endpoints::rewrite}, {"LANQUE_TRANSLATE_URL", &Endpoints::translate},
        {"LANQUE_SEARCH_URL", &Endpoints::search},   {"LANQUE_ARTICLE_URL", &Endpoints::article},
        {"LANQUE_PROXY", &Endpoints::proxy},         {"LANQUE_NOTICE_URL", &Endpoints::notice},
        {"LANQUE_SITE_URL", &Endpoints::site},       {"LANQUE_HOME_URL", &Endpoints::homePage},
        {"LANQUE_API_DOCS_URL", &Endpoints::apiDocs},
    };
    const Endpoints defaults = Endpoints::Defaults();
    for (const Case& c : cases) {
        setenv(c.variable, "http://127.0.0.1:1", 1);
        EXPECT_EQ(Endpoints::FromEnvironment().*c.field, "http://127.0.0.1:1") << c.variable;
        setenv(c.variable, "", 1);
        EXPECT_EQ(Endpoints::FromEnvironment().*c.field, defaults.*c.field) << c.variable;
        unsetenv(c.variable);
        EXPECT_EQ(Endpoints::FromEnvironment().*c.field, defaults.*c.field) << c.variable;
    }
}

}  // namespace
}  // namespace lanque
