#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/proxy_signature.h"
#include "running_services.h"
#include "services/forward_proxy.h"
#include "text/encodings.h"

namespace lanque {
namespace {

using services::CheckProxyAuthorization;
using services::ProxyAuthResult;

constexpr const char* kOrder = "ZF3125947360QwTbNe";
constexpr const char* kSecret = "lanque-demo-secret";

std::string Stamp(int64_t seconds) { return std::to_string(seconds); }

// The value part of the program's header line (after "Proxy-Authorization:").
std::string ValueOf(const Text& line) { return line.substr(line.find(':') + 1); }

TEST(ProxyAuthorization, ChecksSignOrderAndTimeStamp) {
    const services::ProxyOrders orders = services::DefaultProxyOrders();
    const int64_t now = 1765400000;
    const std::string good = ValueOf(ProxySignatureAt(kOrder, kSecret, Stamp(now)));
    const std::string lowerSign = [&] {
        std::string v = good;
        for (size_t i = 5; i < 37; ++i) v[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(v[i])));
        return v;
    }();
    struct Case {
        std::string value;
        ProxyAuthResult expected;
    } const cases[] = {
        {good, ProxyAuthResult::kAccepted},
        {" " + good, ProxyAuthResult::kAccepted},
        {ValueOf(ProxySignatureAt(kOrder, kSecret, Stamp(now - 300))), ProxyAuthResult::kAccepted},
        {ValueOf(ProxySignatureAt(kOrder, kSecret, Stamp(now - 301))), ProxyAuthResult::kStale},
        {ValueOf(ProxySignatureAt(kOrder, kSecret, Stamp(now + 301))), ProxyAuthResult::kStale},
        {ValueOf(ProxySignatureAt(kOrder, "wrong", Stamp(now))), ProxyAuthResult::kBadSign},
        {ValueOf(ProxySignatureAt(kOrder, "", Stamp(now))), ProxyAuthResult::kBadSign},
        {lowerSign, ProxyAuthResult::kBadSign},
        {ValueOf(ProxySignatureAt("OTHER", kSecret, Stamp(now))), ProxyAuthResult::kUnknownOrder},
        {ValueOf(ProxySignatureAt(kOrder, kSecret, Stamp(now) + "123")), ProxyAuthResult::kMalformed},
        {"sign=&orderno=" + std::string(kOrder), ProxyAuthResult::kMalformed},
        {"", ProxyAuthResult::kMissing},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckProxyAuthorization(c.value, orders, now, 300), c.expected) << c.value;
    }
}

TEST(ProxyAuthorization, ProgramClockAgreesWithTheProxyClock) {
    const Text stamp = TimestampText(true);
    const int64_t proxyNow = services::ProxyClockNow();
    EXPECT_LE(std::llabs(std::stoll(stamp) - proxyNow), 2) << stamp;
}

struct Fetched {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
};

size_t Collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// A GET through the proxy, as an absolute-form request or (tunnel) through CONNECT.
Fetched FetchThrough(const std::string& url, int proxyPort, const std::string& headerLine, bool tunnel) {
    Fetched fetched;
    CURL* curl = curl_easy_init();
    curl_slist* headers = headerLine.empty() ? nullptr : curl_slist_append(nullptr, headerLine.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, ("127.0.0.1:" + std::to_string(proxyPort)).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, tunnel ? 1L : 0L);
    // Through a tunnel the line belongs to the CONNECT request only, as the program sends it.
    curl_easy_setopt(curl, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
    curl_easy_setopt(curl, tunnel ? CURLOPT_PROXYHEADER : CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetched.body);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    fetched.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &fetched.status);
    long connectCode = 0;
    curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (tunnel && connectCode != 200) {
        fetched.status = connectCode;  // the proxy's answer to CONNECT
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return fetched;
}

class ForwardProxyTest : public test::RunningServices {
protected:
    std::string NoticeUrl() const { return Base(services::Service::kNotice) + "/notice"; }
    int ProxyPort() const { return Port(services::Service::kProxy); }
};

TEST_F(ForwardProxyTest, ForwardsASignedRequest) {
    for (bool tunnel : {false, true}) {
        const Fetched fetched = FetchThrough(NoticeUrl(), ProxyPort(), ProxySignatureAt(kOrder, kSecret, TimestampText(true)), tunnel);
        EXPECT_EQ(fetched.code, CURLE_OK) << tunnel;
        EXPECT_EQ(fetched.status, 200) << tunnel;
        EXPECT_NE(Utf8ToGbk(fetched.body).find("本地参考服务"), std::string::npos) << tunnel;
    }
}

TEST_F(ForwardProxyTest, ForwardsASearchPageWithItsQuery) {
    const std::string url = Base(services::Service::kSearch) + "/s?ie=utf-8&wd=site%3Ahost%20" + UrlEncode("中国", true, true) + "&pn=10";
    const Fetched fetched = FetchThrough(url, ProxyPort(), ProxySignatureAt(kOrder, kSecret, TimestampText(true)), false);
    EXPECT_EQ(fetched.status, 200);
    EXPECT_NE(Utf8ToGbk(fetched.body).find("<title>中国_百度搜索</title>"), std::string::npos);
    EXPECT_NE(fetched.body.find("id=\"11\""), std::string::npos);  // page 2 starts with result 11
}

TEST_F(ForwardProxyTest, RefusesABadLineWith407) {
    const std::string lines[] = {
        "",
        ProxySignatureAt(kOrder, "wrong", TimestampText(true)),
        ProxySignatureAt("UNKNOWN", kSecret, TimestampText(true)),
        ProxySignatureAt(kOrder, kSecret, "1000000000"),
    };
    for (const std::string& line : lines) {
        for (bool tunnel : {false, true}) {
            const Fetched fetched = FetchThrough(NoticeUrl(), ProxyPort(), line, tunnel);
            EXPECT_EQ(fetched.status, 407) << line << " tunnel " << tunnel;
            EXPECT_EQ(fetched.body.find("本地参考服务"), std::string::npos);
        }
    }
}

TEST_F(ForwardProxyTest, ForwardsOnlyToLoopback) {
    const Text line = ProxySignatureAt(kOrder, kSecret, TimestampText(true));
    EXPECT_EQ(FetchThrough("http://192.0.2.1/notice", ProxyPort(), line, false).status, 403);
    EXPECT_EQ(FetchThrough("http://example.com/", ProxyPort(), line, true).status, 403);
}

TEST_F(ForwardProxyTest, UnreachableServiceGives502) {
    const Text line = ProxySignatureAt(kOrder, kSecret, TimestampText(true));
    // Port 1 on loopback has no listener.
    EXPECT_EQ(FetchThrough("http://127.0.0.1:1/", ProxyPort(), line, false).status, 502);
}

TEST_F(ForwardProxyTest, ExtraOrdersAreAccepted) {
    services::ServiceConfig config;
    config.orders["ORDER2"] = "s2";
    StartWith(config);
    EXPECT_EQ(FetchThrough(NoticeUrl(), ProxyPort(), ProxySignatureAt("ORDER2", "s2", TimestampText(true)), false).status, 200);
}

}  // namespace
}  // namespace lanque
