#include "http/com_http_client.h"

#include <exception>
#include <string>

#include "http/header_helpers.h"
#include "text/cutters.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

namespace {

Text CompletedHeaders(Text headers, std::string_view url, int method)
{
    if (!GbkContains(headers, "Accept:", true)) headers += "\r\nAccept: */*";
    if (!GbkContains(headers, "Referer:", true)) headers += "\r\nReferer: " + Text(url);
    if (!GbkContains(headers, "Accept-Language:", true)) headers += "\r\nAccept-Language: zh-cn";
    if (!GbkContains(headers, "User-Agent:", true)) headers += "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
    if (method == 1 && !GbkContains(headers, "Content-Type:", true)) {
        headers += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    return headers;
}

// A header as the request object sets it by name and value; a header without a name is not set.
void AddHeader(std::vector<Text>& headers, std::string_view name, std::string_view value)
{
    if (!name.empty()) headers.push_back(Text(name) + ": " + Text(value));
}

// The header lines after the status line.
Text HeadersWithoutStatusLine(const Text& headerBlock)
{
    std::size_t lineEnd = headerBlock.find("\r\n");
    return lineEnd == Text::npos ? Text() : headerBlock.substr(lineEnd + 2);
}

void CollectCookies(const ComHttpOptions& options, ComHttpReply& reply)
{
    reply.returnedCookies = CollectSetCookies(reply.returnedHeaders);
    if (options.mergeCookies && reply.sendCookies) {
        reply.returnedCookies = MergeCookies(*reply.sendCookies, reply.returnedCookies);
    }
}

Bytes Request(std::string_view url, const ComHttpOptions& options, ComHttpReply& reply)
{
    CurlHandle handle;
    if (!handle) return Bytes();
    CURL* curl = handle.get();
    bool secure = url.size() >= 8 && AsciiEqualsIgnoreCase(url.substr(0, 8), "https://");
    std::vector<Text> headers = ComHttpRequestHeaders(url, options, reply);

    CurlHeaderList headerList;
    CurlHeaderList proxyHeaders;
    for (const Text& line : headers) {
        if (!headerList.AppendLine(line)) return Bytes();
        if (AsciiEqualsIgnoreCase(TextBeforeColon(line), "Proxy-Authorization") && !proxyHeaders.AppendLine(line)) {
            return Bytes();
        }
    }
    const Bytes& body = options.postBytes.empty() ? options.postText : options.postBytes;
    Text methodName = MethodName(options.method);
    bool sendsBody = !body.empty() || methodName != "GET";
    // Failures past this point are not told apart: they leave the reply empty.
    bool ready = headerList.SuppressLibraryDefaults(sendsBody, !options.proxy.empty()) &&
                 curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get()) == CURLE_OK &&
                 SetOption(curl, CURLOPT_URL, Text(url)) &&
                 SetOption(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) &&
                 SetProxy(curl, options.proxy, secure, proxyHeaders) &&
                 SetOption(curl, CURLOPT_FOLLOWLOCATION, options.noRedirect ? 0L : 1L) &&
                 SetOption(curl, CURLOPT_SSL_VERIFYPEER, 0L) && SetOption(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    if (ready && !options.proxy.empty() && !options.proxyUser.empty() && options.credentialFlag == 0) {
        ready = SetOption(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)) &&
                SetOption(curl, CURLOPT_USERNAME, options.proxyUser) && SetOption(curl, CURLOPT_PASSWORD, options.proxyPassword);
    }
    ready = ready && SetMethodAndBody(curl, methodName, sendsBody ? &body : nullptr);

    TransferResult result;
    if (ready) result = PerformTransfer(curl, ComHttpLimits(options.timeoutSeconds, options.maxReplyBytes));
    bool ok = ready && result.code == CURLE_OK && !result.tooLarge && result.headerBlockComplete;
    reply.returnedHeaders = ok ? HeadersWithoutStatusLine(result.headerBlock) : Text();
    reply.statusCode = ok ? static_cast<int>(result.status) : 0;
    CollectCookies(options, reply);
    return ok ? result.body : Bytes();
}

}  // namespace

TransferLimits ComHttpLimits(int timeoutSeconds, std::size_t maxReplyBytes)
{
    if (timeoutSeconds == -1) {
        // The request object's own defaults: 60 s to connect, 30 s to send and to receive.
        TransferLimits limits = PhaseLimits(30000, maxReplyBytes);
        limits.connectMs = 60000;
        limits.totalMs = 60000 + 3 * 30000;
        return limits;
    }
    long phaseMs = timeoutSeconds < 1 ? 15000 : static_cast<long>(timeoutSeconds) * 1000;
    return PhaseLimits(phaseMs, maxReplyBytes);
}

std::vector<Text> ComHttpRequestHeaders(std::string_view url, const ComHttpOptions& options, ComHttpReply& reply)
{
    Text extra = options.extraHeaders;
    if (options.completeHeaders) extra = CompletedHeaders(std::move(extra), url, options.method);
    if (options.normaliseHeaderNames) extra = NormaliseHeaderNames(extra);
    reply.extraHeaders = extra;

    std::vector<Text> headers;
    if (!options.proxy.empty() && !options.proxyUser.empty() && options.credentialFlag == 1) {
        AddHeader(headers, "Proxy-Authorization",
                  "Basic " + Base64Encode(options.proxyUser + ":" + options.proxyPassword));
    }
    reply.sendCookies = options.sendCookies;
    if (reply.sendCookies) {
        Text& cookies = *reply.sendCookies;
        if (!cookies.empty() && GbkContains(cookies, "Cookie:", true)) cookies = GbkReplaceAll(cookies, "Cookie:", "", true);
        headers.push_back("Cookie: " + cookies);
    }
    if (GbkFind(extra, kCrLf) == kNoPos) {
        AddHeader(headers, TextBeforeColon(extra), TextAfterColon(extra));
        return headers;
    }
    for (const Text& line : GbkSplit(extra, kCrLf)) {
        if (line.empty()) continue;
        Text name = TextBeforeColon(line);
        Text value = TextAfterColon(line);
        if (name == "Connection" && value == "keep-alive") continue;
        AddHeader(headers, name, value);
    }
    return headers;
}

Bytes ComHttpClient(std::string_view url, const ComHttpOptions& options, ComHttpReply& reply)
{
    try {
        return Request(url, options, reply);
    } catch (const std::exception&) {
        return Bytes();
    }
}

Bytes ComHttpClient(std::string_view url, const ComHttpOptions& options)
{
    ComHttpReply reply;
    return ComHttpClient(url, options, reply);
}

}  // namespace lanque
