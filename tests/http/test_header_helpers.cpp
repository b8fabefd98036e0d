#include "http/header_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace lanque {
namespace {

struct Case {
    std::string in, out;
};

struct PairCase {
    std::string a, b, out;
};

TEST(HeaderHelpers, MethodName) {
    const char* names[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(MethodName(code), names[code]);
    }
    EXPECT_EQ(MethodName(8), "GET");
    EXPECT_EQ(MethodName(-1), "GET");
}

TEST(HeaderHelpers, HeaderValue) {
    const std::string headers = "Connection-X: 1\r\nConnection: keep-alive\r\nHost: a: b\r\n";
    // The leading bytes decide, so the first line answers for "Connection", and it holds no
    // "Connection: ": the value is empty although a later line has one.
    EXPECT_EQ(HeaderValue(headers, "Connection"), "");
    EXPECT_EQ(HeaderValue("Connection: keep-alive\r\n", "Connection"), "keep-alive");
    EXPECT_EQ(HeaderValue(headers, "Host"), "a: b");
    EXPECT_EQ(HeaderValue(headers, "host"), "");
    EXPECT_EQ(HeaderValue(headers, "Accept"), "");
    EXPECT_EQ(HeaderValue("", "Host"), "");
    // A line without the ": " after the name has no value.
    EXPECT_EQ(HeaderValue("Host:x", "Host"), "");
}

TEST(HeaderHelpers, NormaliseHeaderNames) {
    const Case cases[] = {
        {"user-agent: x\r\naccept-language:zh\r\n", "User-Agent: x\r\nAccept-Language:zh"},
        {"content-TYPE: a", "Content-TYPE: a"},
        {"x-a--b: 1", "X-A--B: 1"},
        {"", ""},
        {"garbage", ""},
        {"garbage\r\nhost: h\r\n\r\nnoise", "Host: h"},
        {"x-: 1", "X-: 1"},
        {"referer: http://a-b/c", "Referer: http://a-b/c"},
        {"中-a: 值", "中-A: 值"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NormaliseHeaderNames(c.in), c.out) << c.in;
    }
}

TEST(HeaderHelpers, CapitaliseFirst) {
    const Case cases[] = {{"abc", "Abc"}, {"Abc", "Abc"}, {"", ""}, {"1a", "1a"}, {"中", "中"}};
    for (const auto& c : cases) {
        EXPECT_EQ(CapitaliseFirst(c.in), c.out) << c.in;
    }
}

TEST(HeaderHelpers, CollectSetCookies) {
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", ""},
        {"Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2", "a=1; b=2"},
        {"Set-Cookie: sid=9; path=/", "sid=9"},
        {"Set-Cookie: lang=zh", "lang=zh"},
        {"HTTP/1.1 302 Found\r\nSet-Cookie: a=1; expires=x\r\nset-cookie: b=2\r\nSet-Cookie: c=3\r\n\r\n",
         "a=1; c=3"},
        {"Set-Cookie:x=1", ""},
        {"Set-Cookie: ; path=/\r\nSet-Cookie: b=2", "b=2"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CollectSetCookies(c.in), c.out) << c.in;
    }
}

TEST(HeaderHelpers, CookieName) {
    const Case cases[] = {{" a = 1", "a"}, {"flag", "flag"}, {" flag ", "flag"}, {"=x", ""}, {"名=值", "名"}};
    for (const auto& c : cases) {
        EXPECT_EQ(CookieName(c.in), c.out) << c.in;
    }
}

TEST(HeaderHelpers, MergeCookies) {
    const PairCase cases[] = {
        {"a=1; b=2; c=3", "b=5; c=deleted; d=4", "b=5; d=4; a=1"},
        {"a=1;", "", "a=1"},
        {"", "a=1", "a=1"},
        {"a=1", "a=1", "a=1"},
        {"", "", ""},
        {"  a=1; b=2  ", " b=3;", "b=3; a=1"},
        {"a=deleted", "", ""},
        {"a=x y", "", "a=x y"},
        {"a=1; a=2", "", "a=1"},
        {"x=1; x=1", "x=1; x=1", "x=1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MergeCookies(c.a, c.b), c.out) << c.a << " | " << c.b;
    }
}

TEST(HeaderHelpers, MergeCookiesCompact) {
    const PairCase cases[] = {
        {"a=x y", "", "a=xy"},
        {"a=1;b=2; c=3", "b=5;c=deleted ; d=4", "b=5; d=4; a=1"},
        {"a=1;\xA1\xA1" "b=2", "", "a=1; b=2"},
        {"", "", ""},
        {"a=1;;b=2", "", "a=1; b=2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MergeCookiesCompact(c.a, c.b), c.out) << c.a << " | " << c.b;
    }
}

TEST(HeaderHelpers, DistinctJoin) {
    EXPECT_EQ(DistinctJoin("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(DistinctJoin("", "; "), "");
    EXPECT_EQ(DistinctJoin("a,,a,", ","), "a,");
}

TEST(HeaderHelpers, UrlHostPortPath) {
    struct UrlCase {
        std::string address, host, hostPort;
        int port;
        std::string path;
    } cases[] = {
        {"HTTPS://Host:8443/p", "host", "host:8443", 8443, "/p"},
        {"https://host/p", "host", "host", 443, "/p"},
        {"host/p", "host", "host", 80, "/p"},
        {"http://host", "host", "host", 80, "/"},
        {"http://host/a/b?c=1", "host", "host", 80, "/a/b?c=1"},
        {"http://127.0.0.1:18601/api.php", "127.0.0.1", "127.0.0.1:18601", 18601, "/api.php"},
        {"http://Host/A/B?Q=X", "host", "host", 80, "/A/B?Q=X"},
        // A host whose name also stands inside the scheme.
        {"http://h/x", "h", "h", 80, "/x"},
        {"https://t/p?q=1", "t", "t", 443, "/p?q=1"},
        {"http://host:abc/", "host", "host:abc", 0, "/"},
        {"http://host:99999/", "host", "host:99999", 0, "/"},
        // A bare address whose query holds another address takes its host from that inner one.
        {"host/p?u=http://other/x", "other", "other", 80, "/x"},
        {"", "", "", 80, "/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UrlHost(c.address), c.host) << c.address;
        EXPECT_EQ(UrlHost(c.address, true), c.hostPort) << c.address;
        EXPECT_EQ(UrlPort(c.address), c.port) << c.address;
        EXPECT_EQ(UrlPath(c.address), c.path) << c.address;
    }
}

}  // namespace
}  // namespace lanque
