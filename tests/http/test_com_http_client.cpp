#include "http/com_http_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_server.h"
#include "text/encodings.h"

namespace lanque {
namespace {

using test::RecordingServer;
using test::ScriptedReply;

const std::string kAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::vector<std::string> Sent(const RecordingServer& server)
{
    return server.LastRequest().LinesWithout({"Host", "Content-Length"});
}

TEST(ComHttpClient, DefaultHeadersInOrder)
{
    RecordingServer server;
    const std::string url = server.BaseUrl() + "/a";
    ComHttpReply reply;
    EXPECT_EQ(ComHttpClient(url, {}, reply), "ok");
    EXPECT_EQ(Sent(server), (std::vector<std::string>{"Accept: */*", "Referer: " + url, "Accept-Language: zh-cn", kAgent}));
    EXPECT_EQ(reply.statusCode, 200);

    ComHttpOptions post;
    post.method = 1;
    post.postText = "k=v";
    ComHttpClient(url, post);
    EXPECT_EQ(Sent(server), (std::vector<std::string>{"Accept: */*", "Referer: " + url, "Accept-Language: zh-cn", kAgent,
                                                      "Content-Type: application/x-www-form-urlencoded"}));
    EXPECT_EQ(server.LastRequest().body, "k=v");
}

TEST(ComHttpClient, ExtraHeaderLinesAndTheKeepAliveSkip)
{
    RecordingServer server;
    struct Case {
        Text extra;
        bool complete;
        std::vector<std::string> expected;
    };
    const std::string url = server.BaseUrl() + "/k";
    const Case cases[] = {
        {"Connection: keep-alive\r\nX-A: 1", false, {"X-A: 1"}},
        {"Connection: keep-alive", false, {"Connection: keep-alive"}},
        {"x-b:  spaced  \r\n\r\nno colon line\r\nAccept: text/plain", true,
         {"X-B: spaced", "Accept: text/plain", "Referer: " + url, "Accept-Language: zh-cn", kAgent}},
        {"X-Empty:", false, {"X-Empty:"}},
    };
    for (const Case& c : cases) {
        ComHttpOptions options;
        options.extraHeaders = c.extra;
        options.completeHeaders = c.complete;
        ComHttpClient(url, options);
        EXPECT_EQ(Sent(server), c.expected) << c.extra;
    }
}

TEST(ComHttpClient, CookieHeaderRule)
{
    RecordingServer server;
    struct Case {
        std::optional<Text> cookies;
        bool hasCookie;
        std::string line;
        std::optional<Text> left;
    };
    const Case cases[] = {
        {Text("Cookie: a=1; b=2"), true, "Cookie:  a=1; b=2", Text(" a=1; b=2")},
        {Text("a=1"), true, "Cookie: a=1", Text("a=1")},
        {Text(""), true, "Cookie:", Text("")},
        {std::nullopt, false, "", std::nullopt},
    };
    for (const Case& c : cases) {
        ComHttpOptions options;
        options.sendCookies = c.cookies;
        options.completeHeaders = false;
        ComHttpReply reply;
        ComHttpClient(server.BaseUrl() + "/", options, reply);
        auto lines = Sent(server);
        EXPECT_EQ(server.LastRequest().HasHeader("Cookie"), c.hasCookie);
        if (c.hasCookie) {
            EXPECT_EQ(lines.at(0), c.line);
        }
        EXPECT_EQ(reply.sendCookies, c.left);
    }
}

TEST(ComHttpClient, ProxyCredentials)
{
    RecordingServer proxy;
    const std::string basic = "Basic " + Base64Encode("pu:pp");
    ComHttpOptions options;
    options.proxy = proxy.HostPort();
    options.proxyUser = "pu";
    options.proxyPassword = "pp";
    ComHttpClient("http://site.invalid/x", options);
    auto request = proxy.LastRequest();
    EXPECT_EQ(request.target, "http://site.invalid/x");
    EXPECT_EQ(request.Header("Proxy-Authorization"), basic);
    EXPECT_FALSE(request.HasHeader("Authorization"));

    options.credentialFlag = 0;
    ComHttpClient("http://site.invalid/x", options);
    EXPECT_FALSE(proxy.LastRequest().HasHeader("Proxy-Authorization"));
    EXPECT_EQ(proxy.LastRequest().Header("Authorization"), basic);

    RecordingServer direct;
    ComHttpOptions noProxy;
    noProxy.proxyUser = "pu";
    noProxy.proxyPassword = "pp";
    ComHttpClient(direct.BaseUrl() + "/", noProxy);
    EXPECT_FALSE(direct.LastRequest().HasHeader("Proxy-Authorization"));
    EXPECT_FALSE(direct.LastRequest().HasHeader("Authorization"));

    // an https address: the credentials go on the CONNECT and inside the tunnel
    proxy.Clear();
    options.credentialFlag = 1;
    proxy.Queue(ScriptedReply::Ok("inside"));
    EXPECT_EQ(ComHttpClient("https://site.invalid/s", options), "inside");
    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "CONNECT");
    EXPECT_EQ(requests[0].Header("Proxy-Authorization"), basic);
    EXPECT_TRUE(requests[1].tunnelled);
    EXPECT_EQ(requests[1].Header("Proxy-Authorization"), basic);
}

TEST(ComHttpClient, RedirectReplyReturnedWhenNotFollowed)
{
    RecordingServer server;
    ScriptedReply redirect = ScriptedReply::Redirect(302, "http://article.invalid/s?id=1");
    redirect.headers.push_back("Set-Cookie: t=1; path=/");
    server.Queue(redirect);
    ComHttpOptions options;
    options.noRedirect = true;
    options.sendCookies = "u=2";
    ComHttpReply reply;
    EXPECT_EQ(ComHttpClient(server.BaseUrl() + "/link", options, reply), "moved");
    EXPECT_EQ(reply.statusCode, 302);
    EXPECT_EQ(reply.returnedHeaders.rfind("Location: http://article.invalid/s?id=1\r\n", 0), 0u);
    EXPECT_EQ(reply.returnedCookies, "t=1; u=2");

    server.Queue(ScriptedReply::Redirect(302, "/there"));
    server.Queue(ScriptedReply::Ok("arrived"));
    ComHttpReply followed;
    EXPECT_EQ(ComHttpClient(server.BaseUrl() + "/link", {}, followed), "arrived");
    EXPECT_EQ(followed.statusCode, 200);
}

TEST(ComHttpClient, TimeoutArgument)
{
    EXPECT_EQ(ComHttpLimits(0, 1).connectMs, 15000);
    EXPECT_EQ(ComHttpLimits(-7, 1).idleSeconds, 15);
    EXPECT_EQ(ComHttpLimits(60, 1).connectMs, 60000);
    EXPECT_EQ(ComHttpLimits(60, 1).idleSeconds, 60);
    EXPECT_EQ(ComHttpLimits(-1, 1).connectMs, 60000);
    EXPECT_EQ(ComHttpLimits(-1, 1).idleSeconds, 30);

    RecordingServer server;
    ScriptedReply slow = ScriptedReply::Ok("late");
    slow.delayMs = 4000;
    server.Queue(slow);
    ComHttpOptions options;
    options.timeoutSeconds = 1;
    options.sendCookies = "a=1";
    ComHttpReply reply;
    reply.statusCode = 77;
    EXPECT_EQ(ComHttpClient(server.BaseUrl() + "/", options, reply), "");
    EXPECT_EQ(reply.statusCode, 0);
    EXPECT_EQ(reply.returnedHeaders, "");
    EXPECT_EQ(reply.returnedCookies, "a=1");
}

TEST(ComHttpClient, BrokenOrOversizedBodyAndSelfSignedCertificate)
{
    RecordingServer server;
    ScriptedReply cut = ScriptedReply::Ok(std::string(5000, 'q'));
    cut.closeMidBody = true;
    server.Queue(cut);
    EXPECT_EQ(ComHttpClient(server.BaseUrl() + "/"), "");
    ComHttpOptions small;
    small.maxReplyBytes = 64;
    ScriptedReply big = ScriptedReply::Ok(std::string(65, 'q'));
    big.chunked = true;
    server.Queue(big);
    EXPECT_EQ(ComHttpClient(server.BaseUrl() + "/", small), "");

    RecordingServer secure(true);
    secure.Queue(ScriptedReply::Ok("certificate ignored"));
    EXPECT_EQ(ComHttpClient(secure.BaseUrl() + "/"), "certificate ignored");
}

}  // namespace
}  // namespace lanque
