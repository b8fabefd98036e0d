#include "http/proxied_get.h"

#include <exception>

#include "http/com_http_client.h"
#include "http/header_helpers.h"
#include "http/proxy_signature.h"

namespace lanque {

namespace {

constexpr const char* kFixedLines =
    "Connection: keep-alive\r\n"
    "Upgrade-Insecure-Requests: 1\r\n"
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/78.0.3904.108 Safari/537.36\r\n"
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/webp,image/apng,*/*;q=0.8,"
    "application/signed-exchange;v=b3\r\n"
    "Sec-Fetch-Site: none\r\n"
    "Sec-Fetch-Mode: navigate\r\n"
    "Accept-Encoding: deflate, br\r\n"
    "Accept-Language: zh-CN,zh;q=0.9\r\n";

}  // namespace

Text ProxiedGetHeaders(std::string_view searchHost, std::string_view signedLine)
{
    return "Host: " + Text(searchHost) + "\r\n" + kFixedLines + Text(signedLine);
}

Bytes ProxiedGet(std::string_view url, std::string_view orderNumber, std::string_view secret,
                 const Endpoints& endpoints, std::size_t maxReplyBytes)
{
    try {
        ComHttpOptions options;
        Text signedLine = ProxySignature(orderNumber, secret, options.proxy, endpoints.proxy);
        options.extraHeaders = ProxiedGetHeaders(UrlHost(endpoints.search, true), signedLine);
        options.maxReplyBytes = maxReplyBytes;
        return ComHttpClient(url, options);
    } catch (const std::exception&) {
        return Bytes();
    }
}

}  // namespace lanque
