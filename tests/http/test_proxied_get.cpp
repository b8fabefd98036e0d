#include "http/proxied_get.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_server.h"
#include "text/cutters.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {
namespace {

using test::RecordingServer;
using test::ScriptedReply;

const std::vector<std::string> kFixedLines = {
    "Upgrade-Insecure-Requests: 1",
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/78.0.3904.108 Safari/537.36",
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,image/apng,*/*;q=0.8,"
    "application/signed-exchange;v=b3",
    "Sec-Fetch-Site: none",
    "Sec-Fetch-Mode: navigate",
    "Accept-Encoding: deflate, br",
    "Accept-Language: zh-CN,zh;q=0.9",
};

// The signed value 'sign=S&orderno=O&timestamp=T' carries the upper-case MD5 of its own sign text.
void ExpectSigned(const std::string& value, const std::string& order, const std::string& secret)
{
    std::string timestamp = TextRightOf(value, "&timestamp=");
    ASSERT_EQ(timestamp.size(), 10u) << value;
    std::string sign = Md5Hex("orderno=" + order + ",secret=" + secret + ",timestamp=" + timestamp, true);
    EXPECT_EQ(value, "sign=" + sign + "&orderno=" + order + "&timestamp=" + timestamp);
}

TEST(ProxiedGet, HeaderTextIsTheFixedBlockThenTheSignedLine)
{
    Text text = ProxiedGetHeaders("www.baidu.com", "Proxy-Authorization:sign=X");
    EXPECT_EQ(text.rfind("Host: www.baidu.com\r\nConnection: keep-alive\r\nUpgrade-Insecure-Requests: 1\r\n", 0), 0u);
    const std::string tail = "Accept-Language: zh-CN,zh;q=0.9\r\nProxy-Authorization:sign=X";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(GbkSplit(text, kCrLf).size(), 10u);
}

TEST(ProxiedGet, PlainAddressGoesThroughTheProxyWithTheSignedLine)
{
    RecordingServer proxy;
    proxy.Queue(ScriptedReply::Ok("result page"));
    Endpoints endpoints;
    endpoints.proxy = proxy.HostPort();
    endpoints.search = "http://search.invalid:8080";
    const std::string url = "http://search.invalid:8080/s?wd=x&pn=10";
    EXPECT_EQ(ProxiedGet(url, "ORDER1", "s3cret", endpoints), "result page");

    auto request = proxy.LastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, url);
    std::vector<std::string> expected = {"Host: search.invalid:8080"};
    expected.insert(expected.end(), kFixedLines.begin(), kFixedLines.end());
    ASSERT_EQ(request.headerLines.size(), expected.size() + 2);
    EXPECT_EQ(std::vector<std::string>(request.headerLines.begin(), request.headerLines.begin() + 8), expected);
    EXPECT_EQ(request.headerLines[9], "Referer: " + url);
    EXPECT_FALSE(request.HasHeader("Connection"));
    ExpectSigned(request.Header("Proxy-Authorization"), "ORDER1", "s3cret");
}

TEST(ProxiedGet, HttpsAddressSendsTheSignedLineOnTheConnectAndInTheTunnel)
{
    RecordingServer proxy;
    proxy.Queue(ScriptedReply::Ok("secure page"));
    Endpoints endpoints;
    endpoints.proxy = proxy.HostPort();
    endpoints.search = "https://www.search.invalid";
    EXPECT_EQ(ProxiedGet("https://www.search.invalid/s?wd=y", "O", "S", endpoints), "secure page");
    auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "CONNECT");
    EXPECT_EQ(requests[0].target, "www.search.invalid:443");
    ExpectSigned(requests[0].Header("Proxy-Authorization"), "O", "S");
    EXPECT_TRUE(requests[1].tunnelled);
    EXPECT_EQ(requests[1].target, "/s?wd=y");
    EXPECT_EQ(requests[1].Header("Host"), "www.search.invalid");
    ExpectSigned(requests[1].Header("Proxy-Authorization"), "O", "S");
}

TEST(ProxiedGet, RefusingProxyGivesEmptyBytes)
{
    int closedPort;
    {
        RecordingServer gone;
        closedPort = gone.Port();
    }
    Endpoints endpoints;
    endpoints.proxy = "127.0.0.1:" + std::to_string(closedPort);
    endpoints.search = "http://search.invalid";
    EXPECT_EQ(ProxiedGet("http://search.invalid/s", "", "", endpoints), "");
}

}  // namespace
}  // namespace lanque
