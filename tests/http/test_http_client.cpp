#include "http/http_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "http/reply_charset.h"
#include "support/recording_server.h"
#include "support/test_support.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {
namespace {

using test::RecordingServer;
using test::ScriptedReply;
using test::Utf8;

const Text kDefaultPostHeaders =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n"
    "Accept: text/html, application/xhtml+xml, */*\r\n"
    "Accept-Encoding: gbk, GB2312\r\n"
    "Accept-Language: zh-cn\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Cache-Control: no-cache";

std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    for (const Text& line : GbkSplit(text, kCrLf)) lines.push_back(line);
    return lines;
}

TEST(HttpClientHeaderText, CompletesNormalisesAndAddsCookies)
{
    struct Case {
        int method;
        Text extra;
        Text cookies;
        bool complete;
        Text expected;
    };
    const Text defaultsAfterA =
        "\r\nUser-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"
        "\r\nAccept: text/html, application/xhtml+xml, */*\r\nAccept-Encoding: gbk, GB2312"
        "\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache";
    const Case cases[] = {
        {1, "", "", true, kDefaultPostHeaders},
        // no space after the colon: the default agent is still added
        {0, "User-Agent:X", "", true,
         "User-Agent:X\r\nUser-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)"
         "\r\nAccept: text/html, application/xhtml+xml, */*\r\nAccept-Encoding: gbk, GB2312"
         "\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache"},
        {0, "user-agent: X", "", true,
         "User-Agent: X\r\nAccept: text/html, application/xhtml+xml, */*\r\nAccept-Encoding: gbk, GB2312"
         "\r\nAccept-Language: zh-cn\r\nCache-Control: no-cache"},
        {0, "Connection: keep-alive\r\nA: 1", "", false, "A: 1"},
        {0, "A: 1\r\nConnection: keep-alive", "", false, "A: 1\r\nConnection: keep-alive"},
        {0, "A: 1\r\nConnection: keep-alive", "", true, "A: 1" + defaultsAfterA},
        {0, "A: 1", "a=1; b=2", false, "A: 1\r\nCookie: a=1; b=2\r\n"},
        {0, "A: 1", "Cookie: a=1", false, "A: 1\r\nCookie: a=1\r\n"},
        {0, "cookie: z=9", "a=1", false, "Cookie: z=9"},  // the caller's line wins
        {0, "", "", false, ""},
    };
    for (const Case& c : cases) {
        HttpClientOptions options;
        options.method = c.method;
        options.extraHeaders = c.extra;
        options.sendCookies = c.cookies;
        options.completeHeaders = c.complete;
        EXPECT_EQ(HttpClientHeaderText(options), c.expected) << c.extra;
    }
}

TEST(HttpClientTimeout, BelowOneMeansThirtySeconds)
{
    EXPECT_EQ(HttpClientTimeoutMs(0), 30000);
    EXPECT_EQ(HttpClientTimeoutMs(-5), 30000);
    EXPECT_EQ(HttpClientTimeoutMs(1), 1000);
    EXPECT_EQ(HttpClientTimeoutMs(60), 60000);
}

TEST(HttpClient, DefaultPostSendsExactlyTheCompletedHeaderText)
{
    RecordingServer server;
    server.Queue(ScriptedReply::Ok("done"));
    HttpClientOptions options;
    options.method = 1;
    options.postText = "q=1&r=2";
    HttpClientReply reply;
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/api.php?x=1", options, reply), "done");

    auto request = server.LastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api.php?x=1");
    std::vector<std::string> expected = {"Host: " + server.HostPort()};
    for (const auto& line : Lines(kDefaultPostHeaders)) expected.push_back(line);
    expected.push_back("Content-Length: 7");
    EXPECT_EQ(request.headerLines, expected);
    EXPECT_EQ(request.body, "q=1&r=2");
    EXPECT_EQ(reply.statusText, "200 OK");
    EXPECT_EQ(reply.returnedHeaders, "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n");
    EXPECT_EQ(reply.replyBytes, "done");
}

TEST(HttpClient, GetCarriesItsBodyAndAQueryWithoutPathIsDropped)
{
    RecordingServer server;
    HttpClientOptions options;
    options.postText = "a=1";
    HttpClient(server.BaseUrl() + "?ignored=1", options);
    auto request = server.LastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/");
    EXPECT_EQ(request.body, "a=1");
    EXPECT_FALSE(request.HasHeader("Content-Type"));

    // a longer body goes out at once: no "Expect: 100-continue" round trip
    options.postBytes = std::string(3000, 'r');
    options.method = 3;
    HttpClient(server.BaseUrl() + "/p", options);
    EXPECT_EQ(server.LastRequest().method, "PUT");
    EXPECT_EQ(server.LastRequest().body, options.postBytes);
    EXPECT_FALSE(server.LastRequest().HasHeader("Expect"));
    EXPECT_FALSE(server.LastRequest().HasHeader("Content-Type"));
}

TEST(HttpClient, RedirectsAreFollowedOrCaptured)
{
    RecordingServer server;
    ScriptedReply redirect = ScriptedReply::Redirect(302, "/first");
    redirect.headers.push_back("Location: /second");
    redirect.headers.push_back("Set-Cookie: r=1; path=/");
    server.Queue(redirect);
    HttpClientOptions options;
    options.noRedirect = true;
    HttpClientReply reply;
    reply.location = "before";
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/start", options, reply), "moved");
    EXPECT_EQ(reply.statusText, "302 Found");
    EXPECT_EQ(reply.location, "/second");
    EXPECT_EQ(reply.returnedCookies, "r=1");
    EXPECT_EQ(server.RequestCount(), 1u);

    server.Queue(ScriptedReply::Redirect(301, "/final"));
    server.Queue(ScriptedReply::Ok("landed"));
    HttpClientReply followed;
    followed.location = "kept";
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/start", {}, followed), "landed");
    EXPECT_EQ(server.LastRequest().target, "/final");
    EXPECT_EQ(followed.statusText, "200 OK");
    EXPECT_EQ(followed.location, "kept");  // the last reply has no Location line
}

TEST(HttpClient, CookieMergesOfBothVariants)
{
    RecordingServer server;
    ScriptedReply setsB = ScriptedReply::Ok("x");
    setsB.headers.push_back("Set-Cookie: b=3; path=/");
    server.SetHandler([setsB](const test::RecordedRequest&) { return setsB; });
    HttpClientOptions options;
    options.sendCookies = "a=x y; b=2";
    HttpClientReply proxied;
    ProxiedHttpClient(server.BaseUrl() + "/", options, proxied);
    EXPECT_EQ(proxied.returnedCookies, "b=3; a=x y");
    EXPECT_EQ(server.LastRequest().Header("Cookie"), "a=x y; b=2");
    HttpClientReply direct;
    HttpClient(server.BaseUrl() + "/", options, direct);
    EXPECT_EQ(direct.returnedCookies, "b=3; a=xy");

    options.mergeCookies = false;
    HttpClientReply unmerged;
    HttpClient(server.BaseUrl() + "/", options, unmerged);
    EXPECT_EQ(unmerged.returnedCookies, "b=3");
}

TEST(HttpClient, BasicCredentialsOnlyWithBothParts)
{
    RecordingServer server;
    HttpClientOptions options;
    options.userName = "user";
    HttpClient(server.BaseUrl() + "/", options);
    EXPECT_FALSE(server.LastRequest().HasHeader("Authorization"));

    options.password = "pw";
    HttpClient(server.BaseUrl() + "/", options);
    EXPECT_EQ(server.LastRequest().Header("Authorization"), "Basic " + Base64Encode("user:pw"));

    RecordingServer proxy;
    options = {};
    options.proxy = proxy.HostPort();
    options.proxyUser = "pu";
    options.proxyPassword = "pp";
    HttpClient("http://origin.invalid/page", options);
    auto request = proxy.LastRequest();
    EXPECT_EQ(request.target, "http://origin.invalid/page");
    EXPECT_EQ(request.Header("Proxy-Authorization"), "Basic " + Base64Encode("pu:pp"));
}

TEST(HttpClient, FailuresGiveTheirNumberedMessages)
{
    struct Case {
        Text url;
        const char* message;
    };
    int closedPort;
    {
        RecordingServer gone;
        closedPort = gone.Port();
    }
    const Case cases[] = {
        {"ftp://127.0.0.1/x", "701 解析URL地址失败!"},
        {"http://", "701 解析URL地址失败!"},
        {"http://127.0.0.1:99999/", "701 解析URL地址失败!"},
        {"127.0.0.1/x", "701 解析URL地址失败!"},
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/", "711 发送请求失败!"},
    };
    for (const Case& c : cases) {
        HttpClientReply reply;
        reply.replyBytes = "untouched";
        EXPECT_EQ(HttpClient(c.url, {}, reply), "") << c.url;
        EXPECT_EQ(reply.statusText, c.message) << c.url;
        EXPECT_EQ(reply.replyBytes, "untouched");
    }
}

TEST(HttpClient, NoReplyAndSlowReplyAreNoAnswer)
{
    RecordingServer server;
    ScriptedReply silent;
    silent.closeWithoutReply = true;
    server.Queue(silent);
    HttpClientReply reply;
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/", {}, reply), "");
    EXPECT_EQ(reply.statusText, "712 服务器未响应!");

    ScriptedReply slow = ScriptedReply::Ok("late");
    slow.delayMs = 4000;
    server.Queue(slow);
    HttpClientOptions options;
    options.timeoutSeconds = 1;
    HttpClientReply timedOut;
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/", options, timedOut), "");
    EXPECT_EQ(timedOut.statusText, "712 服务器未响应!");
}

TEST(HttpClient, BodyThatBreaksOffOrPassesTheCapFails)
{
    RecordingServer server;
    ScriptedReply cut = ScriptedReply::Ok(std::string(4000, 'a'));
    cut.closeMidBody = true;
    server.Queue(cut);
    HttpClientReply reply;
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/", {}, reply), "");
    EXPECT_EQ(reply.statusText, "713 读取数据失败!");
    EXPECT_EQ(reply.replyBytes, std::string(2000, 'a'));

    HttpClientOptions small;
    small.maxReplyBytes = 100;
    for (bool chunked : {false, true}) {
        ScriptedReply big = ScriptedReply::Ok(std::string(101, 'b'));
        big.chunked = chunked;
        server.Queue(big);
        HttpClientReply tooBig;
        EXPECT_EQ(HttpClient(server.BaseUrl() + "/", small, tooBig), "");
        EXPECT_EQ(tooBig.statusText, "713 读取数据失败!");
    }
    ScriptedReply fits = ScriptedReply::Ok(std::string(100, 'c'));
    fits.chunked = true;
    server.Queue(fits);
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/", small), std::string(100, 'c'));
}

TEST(HttpClient, SelfSignedCertificateFailsOnlyWithChecksOn)
{
    RecordingServer server(true);
    server.SetHandler([](const test::RecordedRequest&) { return ScriptedReply::Ok("secret page"); });
    HttpClientReply reply;
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/", {}, reply), "");
    EXPECT_EQ(reply.statusText, "711 发送请求失败!");
    HttpClientReply proxied;
    EXPECT_EQ(ProxiedHttpClient(server.BaseUrl() + "/", {}, proxied), "secret page");
    EXPECT_EQ(proxied.statusText, "200 OK");
}

TEST(ProxiedHttpClient, SignedLineReachesTheProxyForBothSchemes)
{
    RecordingServer proxy;
    const Text line = "Proxy-Authorization:sign=ABC&orderno=O1&timestamp=1234567890";
    HttpClientOptions options;
    options.method = 1;
    options.postText = "q=1";
    options.extraHeaders = line;
    options.proxy = proxy.HostPort();

    ProxiedHttpClient("http://translate.invalid/translate_a/single", options);
    auto plain = proxy.LastRequest();
    EXPECT_EQ(plain.target, "http://translate.invalid/translate_a/single");
    EXPECT_EQ(plain.headerLines.at(1), line);  // sent unchanged, right after Host
    EXPECT_EQ(plain.body, "q=1");

    proxy.Clear();
    HttpClientReply reply;
    proxy.Queue(ScriptedReply::Ok("tunnelled"));
    EXPECT_EQ(ProxiedHttpClient("https://translate.invalid/t", options, reply), "tunnelled");
    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "CONNECT");
    EXPECT_EQ(requests[0].target, "translate.invalid:443");
    EXPECT_EQ(requests[0].Header("Proxy-Authorization"), "sign=ABC&orderno=O1&timestamp=1234567890");
    EXPECT_TRUE(requests[1].tunnelled);
    EXPECT_EQ(requests[1].target, "/t");
    EXPECT_EQ(requests[1].Header("Proxy-Authorization"), "sign=ABC&orderno=O1&timestamp=1234567890");
}

TEST(ReplyText, DecodesTheDeclaredCharset)
{
    const Text chinese = "中文";  // GBK bytes
    const std::string utf8 = Utf8(u8"中文");
    const std::string pad(1100, ' ');
    struct Case {
        Bytes body;
        Text expected;
    };
    const Case cases[] = {
        {"<meta charset=utf-8>" + utf8, "<meta charset=utf-8>" + chinese},
        {"<META charset=\"UTF-8\">" + utf8, "<META charset=\"UTF-8\">" + chinese},
        {"<meta http-equiv=Content-Type content=text/html;charset=gb2312>" + chinese,
         "<meta http-equiv=Content-Type content=text/html;charset=gb2312>" + chinese},
        {"<meta charset=GB2312>" + chinese, "<meta charset=GB2312>" + chinese},
        {pad + "<meta charset=utf-8>" + utf8, pad + "<meta charset=utf-8>" + utf8},
        {"<p>" + chinese + std::string(1, '\0') + "tail", "<p>" + chinese},
        {"<meta charset=x-no-such-set>" + chinese, "<meta charset=x-no-such-set>" + chinese},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ReplyText(c.body), c.expected) << c.body.substr(0, 40);
}

TEST(HttpClient, UtfPageComesBackAsGbk)
{
    RecordingServer server;
    const std::string page = "<html><meta charset='utf-8'>" + Utf8(u8"岚雀") + "</html>";
    server.Queue(ScriptedReply::Ok(page));
    HttpClientReply reply;
    EXPECT_EQ(HttpClient(server.BaseUrl() + "/", {}, reply), "<html><meta charset='utf-8'>岚雀</html>");
    EXPECT_EQ(reply.replyBytes, page);
}

}  // namespace
}  // namespace lanque
