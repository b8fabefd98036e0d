#include "http/http_client.h"

#include <exception>
#include <string>

#include "concurrency/message_pump.h"
#include "http/header_helpers.h"
#include "http/reply_charset.h"
#include "text/gbk.h"

namespace lanque {

namespace {

constexpr const char* kUserAgentLine =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n";

constexpr const char* kBadUrl = "701 解析URL地址失败!";
constexpr const char* kNoSession = "702 创建WinHttp会话失败!";
constexpr const char* kBadTimeouts = "705 设置超时时间失败!";
constexpr const char* kBadCredentials = "707 设置代理凭证失败!";
constexpr const char* kBadRedirect = "709 重定向设置失败!";
constexpr const char* kBadHeaders = "710 设置协议头失败!";
constexpr const char* kSendFailed = "711 发送请求失败!";
constexpr const char* kNoReply = "712 服务器未响应!";
constexpr const char* kReadFailed = "713 读取数据失败!";
constexpr const char* kCertificateOff = "忽略错误/证书错误  失败！";

enum class Variant { Direct, Proxied };

// The parts of an address that the request is built from.
struct CrackedUrl {
    bool secure = false;
    Text hostPort;  // host, and ":port" when the address names one
    Text object;    // path and query; "/" when the address has no path
};

bool CrackUrl(std::string_view url, CrackedUrl& cracked)
{
    std::size_t schemeLength;
    if (url.size() > 7 && AsciiEqualsIgnoreCase(url.substr(0, 7), "http://")) {
        schemeLength = 7;
    } else if (url.size() > 8 && AsciiEqualsIgnoreCase(url.substr(0, 8), "https://")) {
        schemeLength = 8;
        cracked.secure = true;
    } else {
        return false;
    }
    std::string_view rest = url.substr(schemeLength);
    std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);  // user info is not sent
    if (authority.empty() || authority.front() == ':') return false;
    std::size_t bracket = authority.rfind(']');
    std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos ||
            TextToInt(port) < 1 || TextToInt(port) > 65535) {
            return false;
        }
    }
    cracked.hostPort = Text(authority);
    cracked.object = "/";
    if (authorityEnd != std::string_view::npos && rest[authorityEnd] == '/') {
        std::string_view object = rest.substr(authorityEnd);
        cracked.object = Text(object.substr(0, object.find('#')));
    }
    return true;
}

// Which step a libcurl failure belongs to: the request never went out, no reply came, or the body broke off.
const char* TransferMessage(const TransferResult& result)
{
    if (result.tooLarge || result.headerBlockComplete) return kReadFailed;
    if (!result.connected) return kSendFailed;
    switch (result.code) {
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_PARTIAL_FILE:
    case CURLE_WEIRD_SERVER_REPLY:
        return kNoReply;
    default:
        return kSendFailed;
    }
}

// The status line from its tenth character: 'HTTP/1.1 200 OK' gives '200 OK'.
Text StatusTextOf(const Text& headerBlock)
{
    std::string_view line = std::string_view(headerBlock).substr(0, headerBlock.find("\r\n"));
    return line.size() > 9 ? Text(line.substr(9)) : Text();
}

// Header outputs: the cookies the reply sets and the last "Location: " line.
void ReadHeaderOutputs(const Text& headerBlock, HttpClientReply& reply)
{
    reply.returnedHeaders = headerBlock;
    reply.returnedCookies = CollectSetCookies(headerBlock);
    for (const Text& line : GbkSplit(headerBlock, kCrLf)) {
        if (line.size() >= 10 && AsciiEqualsIgnoreCase(std::string_view(line).substr(0, 10), "Location: ")) {
            reply.location = line.substr(10);
        }
        PumpMessages();
    }
}

Text Request(std::string_view url, const HttpClientOptions& options, HttpClientReply& reply, Variant variant)
{
    auto fail = [&reply](const char* message) {
        reply.statusText = message;
        return Text();
    };
    CrackedUrl cracked;
    if (!CrackUrl(url, cracked)) return fail(kBadUrl);
    CurlHandle handle;
    if (!handle) return fail(kNoSession);
    CURL* curl = handle.get();
    Text address = (cracked.secure ? "https://" : "http://") + cracked.hostPort + cracked.object;
    if (!SetOption(curl, CURLOPT_URL, address)) return fail(kBadUrl);
    if (!SetOption(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1))) return fail(kNoSession);

    Text headerText = HttpClientHeaderText(options);
    CurlHeaderList headers;
    CurlHeaderList proxyHeaders;
    bool tunnelled = cracked.secure && !options.proxy.empty();
    if (tunnelled && !proxyHeaders.AppendLines(ProxyAuthorisationLines(headerText))) return fail(kBadHeaders);
    if (!SetProxy(curl, options.proxy, cracked.secure, proxyHeaders)) return fail(kNoSession);

    if (!options.userName.empty() && !options.password.empty()) {
        if (!SetOption(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)) ||
            !SetOption(curl, CURLOPT_USERNAME, options.userName) || !SetOption(curl, CURLOPT_PASSWORD, options.password)) {
            return fail(kBadCredentials);
        }
    }
    if (!options.proxyUser.empty() && !options.proxyPassword.empty()) {
        if (!SetOption(curl, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC)) ||
            !SetOption(curl, CURLOPT_PROXYUSERNAME, options.proxyUser) ||
            !SetOption(curl, CURLOPT_PROXYPASSWORD, options.proxyPassword)) {
            return fail(kBadCredentials);
        }
    }
    if (variant == Variant::Proxied) {
        if (!SetOption(curl, CURLOPT_SSL_VERIFYPEER, 0L) || !SetOption(curl, CURLOPT_SSL_VERIFYHOST, 0L) ||
            !SetOption(curl, CURLOPT_PROXY_SSL_VERIFYPEER, 0L) || !SetOption(curl, CURLOPT_PROXY_SSL_VERIFYHOST, 0L)) {
            return fail(kCertificateOff);
        }
    }
    if (!SetOption(curl, CURLOPT_FOLLOWLOCATION, options.noRedirect ? 0L : 1L)) return fail(kBadRedirect);

    const Bytes& body = options.postBytes.empty() ? options.postText : options.postBytes;
    Text methodName = MethodName(options.method);
    bool sendsBody = !body.empty() || methodName != "GET";
    if (!headers.AppendLines(headerText) || !headers.SuppressLibraryDefaults(sendsBody, !options.proxy.empty()) ||
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()) != CURLE_OK) {
        return fail(kBadHeaders);
    }
    if (!SetMethodAndBody(curl, methodName, sendsBody ? &body : nullptr)) return fail(kSendFailed);

    TransferLimits limits = PhaseLimits(HttpClientTimeoutMs(options.timeoutSeconds), options.maxReplyBytes);
    TransferResult result = PerformTransfer(curl, limits);
    if (result.code == CURLE_FAILED_INIT) return fail(kBadTimeouts);
    if (result.code == CURLE_URL_MALFORMAT) return fail(kBadUrl);
    if (result.code != CURLE_OK || result.tooLarge) {
        // The body broke off: keep what arrived, but never pass a cut-off page as the answer.
        if (result.headerBlockComplete) ReadHeaderOutputs(result.headerBlock, reply);
        if (result.headerBlockComplete) reply.replyBytes = result.body;
        return fail(TransferMessage(result));
    }
    if (!result.headerBlockComplete) return Text();

    ReadHeaderOutputs(result.headerBlock, reply);
    reply.statusText = StatusTextOf(result.headerBlock);
    if (options.mergeCookies && !options.sendCookies.empty()) {
        reply.returnedCookies = variant == Variant::Proxied
                                    ? MergeCookies(options.sendCookies, reply.returnedCookies)
                                    : MergeCookiesCompact(options.sendCookies, reply.returnedCookies);
    }
    reply.replyBytes = result.body;
    Text text = ReplyText(result.body);
    PumpMessages();
    return text;
}

Text Guarded(std::string_view url, const HttpClientOptions& options, HttpClientReply& reply, Variant variant)
{
    try {
        return Request(url, options, reply, variant);
    } catch (const std::exception&) {
        reply.statusText = kSendFailed;
        return Text();
    }
}

}  // namespace

long HttpClientTimeoutMs(int timeoutSeconds)
{
    return timeoutSeconds > 0 ? static_cast<long>(timeoutSeconds) * 1000 : 30000;
}

Text HttpClientHeaderText(const HttpClientOptions& options)
{
    Text text = options.extraHeaders.empty() ? Text() : options.extraHeaders + "\r\n";
    if (options.completeHeaders) {
        auto complete = [&text](std::string_view search, std::string_view line) {
            if (GbkFind(text, search, 0, true) == kNoPos) text += line;
        };
        complete("User-Agent: ", kUserAgentLine);
        complete("Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n");
        complete("Accept-Encoding: ", "Accept-Encoding: gbk, GB2312\r\n");
        complete("Accept-Language: ", "Accept-Language: zh-cn\r\n");
        if (options.method == 1) complete("Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n");
        complete("Cache-Control: ", "Cache-Control: no-cache\r\n");
    }
    if (options.normaliseHeaderNames) text = NormaliseHeaderNames(text);
    if (GbkFind(text, "Connection") != kNoPos && HeaderValue(text, "Connection") == "keep-alive") {
        text = GbkReplaceAll(text, "Connection: keep-alive\r\n", "");
    }
    const Text& cookies = options.sendCookies;
    if (GbkFind(text, "Cookie:", 0, true) == kNoPos && !cookies.empty()) {
        text += GbkFind(cookies, "Cookie:", 0, true) != kNoPos ? "\r\n" + cookies + "\r\n"
                                                               : "\r\nCookie: " + cookies + "\r\n";
    }
    return text;
}

Text HttpClient(std::string_view url, const HttpClientOptions& options, HttpClientReply& reply)
{
    return Guarded(url, options, reply, Variant::Direct);
}

Text HttpClient(std::string_view url, const HttpClientOptions& options)
{
    HttpClientReply reply;
    return Guarded(url, options, reply, Variant::Direct);
}

Text ProxiedHttpClient(std::string_view url, const HttpClientOptions& options, HttpClientReply& reply)
{
    return Guarded(url, options, reply, Variant::Proxied);
}

Text ProxiedHttpClient(std::string_view url, const HttpClientOptions& options)
{
    HttpClientReply reply;
    return Guarded(url, options, reply, Variant::Proxied);
}

}  // namespace lanque
