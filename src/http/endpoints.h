#pragma once

#include "text/text.h"

namespace lanque {

// Where each outside service is. A base URL carries its scheme and may carry a port
// ("http://127.0.0.1:18601"); callers append the service's path ("/api.php", "/translate_a/single", "/s").
// Built once at start-up and handed to every caller; tests build their own.
struct Endpoints {
    Text rewrite;    // rewriting service
    Text translate;  // translation service
    Text search;     // search engine (result pages)
    Text article;    // article platform (article pages)
    Text proxy;      // forwarding proxy, "host:port"
    Text notice;     // notice service, the whole address the notice is posted to
    Text site;       // the program's web site
    Text homePage;   // the program's home page
    Text apiDocs;    // the rewriting service's API documentation

    // Compiled-in defaults: the rewriting, notice and page addresses point at the bundled reference
    // services on loopback; translation, search, articles and the proxy at their public hosts.
    static Endpoints Defaults();
    // The defaults, with every LANQUE_* variable that is set and not empty taking their place.
    static Endpoints FromEnvironment();
};

// Ports the bundled reference services listen on by default.
inline constexpr int kDefaultRewritePort = 18601;
inline constexpr int kDefaultTranslatePort = 18602;
inline constexpr int kDefaultSearchPort = 18603;
inline constexpr int kDefaultArticlePort = 18604;
inline constexpr int kDefaultProxyPort = 18605;
inline constexpr int kDefaultNoticePort = 18606;

}  // namespace lanque
