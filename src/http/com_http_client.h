#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "http/curl_handle.h"
#include "text/text.h"

// The request function of the collector: time-outs, a proxy for every scheme with Basic credentials, the
// numeric status, certificate checks always off; the reply body as bytes.
namespace lanque {

// The optional arguments, with their defaults.
struct ComHttpOptions {
    int method = 0;                   // method code; outside 0-7 is GET
    Text postText;                    // body text, sent when postBytes is empty
    std::optional<Text> sendCookies;  // when present, always sent as a "Cookie" header (empty too)
    Text extraHeaders;                // request header lines separated by "\r\n"
    bool noRedirect = false;
    Bytes postBytes;                  // body bytes, take precedence over postText
    Text proxy;                       // "host:port" for every scheme; empty: no proxy
    int timeoutSeconds = 0;           // -1: the defaults (60 s to connect, 30 s for each wait); below 1: 15 s
    Text proxyUser;
    Text proxyPassword;
    int credentialFlag = 1;           // 1: the credentials are the proxy's, 0: the server's
    bool mergeCookies = true;
    bool completeHeaders = true;
    bool normaliseHeaderNames = true;
    std::size_t maxReplyBytes = kDefaultMaxReplyBytes;
};

// The out-arguments, and the in-and-out ones as the call left them.
struct ComHttpReply {
    std::optional<Text> sendCookies;  // with any "Cookie:" removed
    Text returnedCookies;
    Text extraHeaders;                // completed and normalised
    Text returnedHeaders;             // the reply's header lines without the status line
    int statusCode = 0;               // 0 when no reply arrived
};

// The time bounds for a time-out argument.
TransferLimits ComHttpLimits(int timeoutSeconds, std::size_t maxReplyBytes);

// The request headers, "Name: value", in the order they are set on the request.
std::vector<Text> ComHttpRequestHeaders(std::string_view url, const ComHttpOptions& options, ComHttpReply& reply);

// One request; the reply body as received, empty on failure.
Bytes ComHttpClient(std::string_view url, const ComHttpOptions& options, ComHttpReply& reply);
Bytes ComHttpClient(std::string_view url, const ComHttpOptions& options = {});

}  // namespace lanque
