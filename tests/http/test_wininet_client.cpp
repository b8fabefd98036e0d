#include "http/wininet_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_server.h"

namespace lanque {
namespace {

using test::RecordingServer;
using test::ScriptedReply;

const std::string kAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The server stands in as the proxy, so any host name can be asked for and the request line shows what
// the function made of the address.
class WinInetThroughProxy : public ::testing::Test {
protected:
    Bytes Get(std::string_view url, WinInetOptions options, WinInetReply& reply)
    {
        options.proxy = m_proxy.HostPort();
        return WinInetClient(url, options, reply);
    }
    test::RecordedRequest Last() const { return m_proxy.LastRequest(); }

    RecordingServer m_proxy;
};

TEST_F(WinInetThroughProxy, DefaultGetHeaderTextIsExact)
{
    WinInetReply reply;
    EXPECT_EQ(Get("http://h/x", {}, reply), "ok");
    EXPECT_EQ(reply.extraHeaders, "Accept: */*\r\nReferer: http://h/x\r\nAccept-Language: zh-cn");
    auto request = Last();
    EXPECT_EQ(request.method, "GET");
    std::vector<std::string> expected = {"Host: h", kAgentLine, "Accept: */*", "Referer: http://h/x",
                                         "Accept-Language: zh-cn"};
    EXPECT_EQ(request.headerLines, expected);
}

TEST_F(WinInetThroughProxy, PostContentTypeAndTheCallersOwnType)
{
    WinInetOptions options;
    options.method = 1;
    WinInetReply reply;
    Get("http://h/x", options, reply);
    EXPECT_EQ(reply.extraHeaders,
              "Accept: */*\r\nReferer: http://h/x\r\nAccept-Language: zh-cn\r\n"
              "Content-Type: application/x-www-form-urlencoded");
    EXPECT_EQ(Last().Header("Content-Length"), "0");  // an empty body is still sent

    options.extraHeaders = "content-type: multipart/form-data; boundary=x";
    options.postText = "ignored";
    options.postBytes = "--x--";
    Get("http://h/up", options, reply);
    auto request = Last();
    std::vector<std::string> expected = {"Host: h", kAgentLine, "Content-Type: multipart/form-data; boundary=x",
                                         "Accept: */*", "Referer: http://h/up", "Accept-Language: zh-cn",
                                         "Content-Length: 5"};
    EXPECT_EQ(request.headerLines, expected);
    EXPECT_EQ(request.body, "--x--");
    EXPECT_EQ(reply.postBytes, "--x--");
}

TEST_F(WinInetThroughProxy, MethodCodesAndBodies)
{
    struct Case {
        int method;
        Text postText;
        Bytes postBytes;
        std::string expectedMethod;
        std::string expectedBody;
        bool hasLength;
    };
    const Case cases[] = {
        {9, "a=1", "", "GET", "", false},
        {-1, "a=1", "", "GET", "", false},
        {0, "a=1", "bytes", "GET", "", false},
        {1, "a=1", "", "POST", "a=1", true},
        {1, "a=1", "b", "POST", "b", true},
        {5, "d", "", "DELETE", "d", true},
    };
    for (const Case& c : cases) {
        WinInetOptions options;
        options.method = c.method;
        options.postText = c.postText;
        options.postBytes = c.postBytes;
        WinInetReply reply;
        Get("http://h/m", options, reply);
        auto request = Last();
        EXPECT_EQ(request.method, c.expectedMethod) << c.method;
        EXPECT_EQ(request.body, c.expectedBody) << c.method;
        EXPECT_EQ(request.HasHeader("Content-Length"), c.hasLength) << c.method;
    }
}

TEST_F(WinInetThroughProxy, CookieLines)
{
    struct Case {
        std::optional<Text> cookies;
        std::string expectedHeader;
        bool hasCookie;
    };
    const Case cases[] = {
        {Text("a=1; b=2"), "a=1; b=2", true},
        {Text("Cookie: a=1"), "a=1", true},
        {Text(""), "", false},
        {std::nullopt, "", false},
    };
    for (const Case& c : cases) {
        WinInetOptions options;
        options.sendCookies = c.cookies;
        options.completeHeaders = false;
        WinInetReply reply;
        Get("http://h/c", options, reply);
        EXPECT_EQ(Last().HasHeader("Cookie"), c.hasCookie);
        EXPECT_EQ(Last().Header("Cookie"), c.expectedHeader);
    }
}

TEST_F(WinInetThroughProxy, UserAgentFromTheHeaderText)
{
    for (const char* extra : {"User-Agent: X", "user-agent: X"}) {
        WinInetOptions options;
        options.extraHeaders = extra;
        WinInetReply reply;
        Get("http://h/a", options, reply);
        auto request = Last();
        EXPECT_EQ(request.Header("User-Agent"), "X") << extra;
        EXPECT_EQ(request.LinesWithout({"Host", "Accept", "Referer", "Accept-Language"}),
                  std::vector<std::string>{"User-Agent: X"});
    }
    EXPECT_EQ(WinInetUserAgent("A: 1\r\nUser-Agent: Bot 1 \r\nB: 2"), "Bot 1");
    EXPECT_EQ(WinInetUserAgent("A: 1"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    // "User-Agent:" found ignoring case, but not in the exact case: the text after the first colon
    EXPECT_EQ(WinInetUserAgent("user-Agent: Q"), "Q");
}

TEST_F(WinInetThroughProxy, AddressesWithoutSchemeOrInUpperCase)
{
    struct Case {
        const char* url;
        const char* target;
    };
    const Case cases[] = {
        {"host/a?b=1", "http://host/a?b=1"},
        {"HTTP://Host/Path", "http://host/Path"},
        {"http://host:8080", "http://host:8080/"},
    };
    for (const Case& c : cases) {
        WinInetReply reply;
        Get(c.url, {}, reply);
        EXPECT_EQ(Last().target, c.target) << c.url;
    }
}

TEST_F(WinInetThroughProxy, HttpsAddressIsTunnelled)
{
    m_proxy.Queue(ScriptedReply::Ok("secure body"));
    WinInetReply reply;
    EXPECT_EQ(Get("https://host:8443/p", {}, reply), "secure body");
    auto requests = m_proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, "host:8443");
    EXPECT_TRUE(requests[1].tls);
    EXPECT_EQ(requests[1].target, "/p");
    EXPECT_EQ(requests[1].Header("Host"), "host:8443");
}

TEST(WinInetClient, RepliedCookiesMergeWithTheSentOnes)
{
    RecordingServer server;
    ScriptedReply reply = ScriptedReply::Ok("x");
    reply.headers = {"Set-Cookie: sid=9; path=/", "Set-Cookie: a=deleted; path=/"};
    server.Queue(reply);
    WinInetOptions options;
    options.sendCookies = "a=1; k=3";
    WinInetReply out;
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/", options, out), "x");
    EXPECT_EQ(out.returnedCookies, "sid=9; k=3");
    EXPECT_EQ(out.returnedHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(out.returnedHeaders.substr(out.returnedHeaders.size() - 4), "\r\n\r\n");
}

TEST(WinInetClient, HeaderBlockOfFiveThousandBytesIsNotRead)
{
    RecordingServer server;
    for (std::size_t padding : {4000u, 5000u}) {
        ScriptedReply reply = ScriptedReply::Ok("body");
        reply.headers = {"Set-Cookie: sid=9", "X-Pad: " + std::string(padding, 'p')};
        server.Queue(reply);
        WinInetReply out;
        out.returnedHeaders = "old";
        EXPECT_EQ(WinInetClient(server.BaseUrl() + "/", {}, out), "body");
        EXPECT_EQ(out.returnedHeaders.empty(), padding == 5000u);
        EXPECT_EQ(out.returnedCookies, padding == 5000u ? "" : "sid=9");
    }
}

TEST(WinInetClient, FailuresGiveEmptyBytes)
{
    RecordingServer server;
    ScriptedReply cut = ScriptedReply::Ok(std::string(3000, 'z'));
    cut.closeMidBody = true;
    server.Queue(cut);
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/"), "");

    WinInetOptions small;
    small.maxReplyBytes = 10;
    server.Queue(ScriptedReply::Ok(std::string(11, 'y')));
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/", small), "");

    ScriptedReply slow = ScriptedReply::Ok("late");
    slow.delayMs = 4000;
    server.Queue(slow);
    WinInetOptions quick;
    quick.timeoutSeconds = 1;
    quick.sendCookies = "a=1";
    WinInetReply out;
    out.returnedHeaders = "old";
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/", quick, out), "");
    EXPECT_EQ(out.returnedHeaders, "");
    EXPECT_EQ(out.returnedCookies, "a=1");
}

TEST(WinInetClient, SelfSignedCertificateIsAccepted)
{
    RecordingServer server(true);
    server.Queue(ScriptedReply::Ok("tls ok"));
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/s"), "tls ok");
    EXPECT_TRUE(server.LastRequest().tls);
}

TEST(WinInetClient, RedirectCapturedWhenAsked)
{
    RecordingServer server;
    server.Queue(ScriptedReply::Redirect(302, "/next"));
    WinInetOptions options;
    options.noRedirect = true;
    WinInetReply out;
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/", options, out), "moved");
    EXPECT_NE(out.returnedHeaders.find("Location: /next\r\n"), std::string::npos);

    server.Queue(ScriptedReply::Redirect(302, "/next"));
    server.Queue(ScriptedReply::Ok("there"));
    EXPECT_EQ(WinInetClient(server.BaseUrl() + "/"), "there");
}

}  // namespace
}  // namespace lanque
