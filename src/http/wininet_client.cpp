#include "http/wininet_client.h"

#include <exception>
#include <string>

#include "http/header_helpers.h"
#include "text/cutters.h"
#include "text/gbk.h"

namespace lanque {

namespace {

constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
// The platform reads the reply's header block into a buffer of this many bytes (its terminating zero
// included); a longer block is not read at all.
constexpr std::size_t kHeaderBufferBytes = 5000;

Text CompletedHeaders(Text headers, std::string_view url, int method)
{
    if (headers.empty()) headers = "Accept: */*";
    if (!GbkContains(headers, "Accept:", true)) headers += "\r\nAccept: */*";
    if (!GbkContains(headers, "Referer:", true)) headers += "\r\nReferer: " + Text(url);
    if (!GbkContains(headers, "Accept-Language:", true)) headers += "\r\nAccept-Language: zh-cn";
    if (method == 1 && !GbkContains(headers, "Content-Type:", true)) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    return headers;
}

void CollectCookies(const WinInetOptions& options, WinInetReply& reply)
{
    reply.returnedCookies = CollectSetCookies(reply.returnedHeaders);
    if (options.mergeCookies && options.sendCookies) {
        reply.returnedCookies = MergeCookies(*options.sendCookies, reply.returnedCookies);
    }
}

Bytes Request(std::string_view url, const WinInetOptions& options, WinInetReply& reply)
{
    Text headers = options.normaliseHeaderNames ? NormaliseHeaderNames(options.extraHeaders) : options.extraHeaders;
    Text methodName = MethodName(options.method);
    bool secure = url.size() >= 8 && AsciiEqualsIgnoreCase(url.substr(0, 8), "https://");
    Text agent = WinInetUserAgent(headers);

    CurlHandle handle;
    if (!handle) return Bytes();
    CURL* curl = handle.get();
    Text address = (secure ? "https://" : "http://") + UrlHost(url) + ":" + std::to_string(UrlPort(url)) + UrlPath(url);
    CurlHeaderList proxyHeaders;
    if (!SetOption(curl, CURLOPT_URL, address) || !SetOption(curl, CURLOPT_USERAGENT, agent) ||
        !SetOption(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) ||
        !SetOption(curl, CURLOPT_FOLLOWLOCATION, options.noRedirect ? 0L : 1L) ||
        !SetOption(curl, CURLOPT_SSL_VERIFYPEER, 0L) || !SetOption(curl, CURLOPT_SSL_VERIFYHOST, 0L)) {
        return Bytes();
    }

    if (options.completeHeaders) headers = CompletedHeaders(std::move(headers), url, options.method);
    if (options.sendCookies && !options.sendCookies->empty()) {
        const Text& cookies = *options.sendCookies;
        headers += (GbkFind(cookies, "Cookie:") == kNoPos ? "\r\nCookie: " : "\r\n") + cookies;
    }
    reply.extraHeaders = headers;

    bool sendsBody = methodName != "GET";
    CurlHeaderList headerList;
    if (!headerList.AppendLines(headers) || !headerList.SuppressLibraryDefaults(sendsBody, !options.proxy.empty()) ||
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get()) != CURLE_OK ||
        (secure && !options.proxy.empty() && !proxyHeaders.AppendLines(ProxyAuthorisationLines(headers))) ||
        !SetProxy(curl, options.proxy, secure, proxyHeaders)) {
        return Bytes();
    }
    if (sendsBody) reply.postBytes = options.postBytes.empty() ? options.postText : options.postBytes;
    if (!SetMethodAndBody(curl, methodName, sendsBody ? &reply.postBytes : nullptr)) return Bytes();

    TransferLimits limits = PhaseLimits(static_cast<long>(std::max(options.timeoutSeconds, 1)) * 1000,
                                        options.maxReplyBytes);
    TransferResult result = PerformTransfer(curl, limits);
    bool failed = result.code != CURLE_OK || result.tooLarge;
    reply.returnedHeaders.clear();
    if (result.headerBlockComplete && result.headerBlock.size() < kHeaderBufferBytes) {
        reply.returnedHeaders = result.headerBlock;
    }
    CollectCookies(options, reply);
    // A body that broke off, or passed the size cap, is no answer: the callers see empty bytes as failure.
    return failed ? Bytes() : result.body;
}

}  // namespace

Text WinInetUserAgent(std::string_view headerText)
{
    if (!GbkContains(headerText, "User-Agent:", true)) return kDefaultAgent;
    Text agent = Trim(TextBetween(Text(headerText) + "\r\n", "User-Agent:", "\r\n"));
    return agent.empty() ? TextAfterColon(headerText) : agent;
}

Bytes WinInetClient(std::string_view url, const WinInetOptions& options, WinInetReply& reply)
{
    try {
        return Request(url, options, reply);
    } catch (const std::exception&) {
        return Bytes();
    }
}

Bytes WinInetClient(std::string_view url, const WinInetOptions& options)
{
    WinInetReply reply;
    return WinInetClient(url, options, reply);
}

}  // namespace lanque
