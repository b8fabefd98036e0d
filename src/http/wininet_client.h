#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "http/curl_handle.h"
#include "text/text.h"

// The request function of the rewriting-service posts, the batch uploads and the direct search-page GETs:
// the reply body as bytes, certificate checks off.
namespace lanque {

// The twelve optional arguments, with their defaults.
struct WinInetOptions {
    int method = 0;                   // method code; outside 0-7 is GET
    Text postText;                    // form data, the body when postBytes is empty and the method is not GET
    std::optional<Text> sendCookies;  // absent and present-but-empty differ: present switches automatic cookies off
    Text extraHeaders;                // request header lines separated by "\r\n"
    bool noRedirect = false;
    Bytes postBytes;                  // body bytes
    Text proxy;                       // "host:port"; empty: a direct connection
    bool mergeCookies = true;
    bool completeHeaders = true;
    bool normaliseHeaderNames = true;
    int timeoutSeconds = 60;          // bound for each phase of the request (connect, send, each wait)
    std::size_t maxReplyBytes = kDefaultMaxReplyBytes;
};

// The out-arguments, and the in-and-out ones as the call left them.
struct WinInetReply {
    Text returnedCookies;
    Text returnedHeaders;  // the raw header block; empty when it is 5000 bytes or longer
    Text extraHeaders;     // the header text that was sent
    Bytes postBytes;       // the body that was sent
};

// The user agent the request goes out with: the value of the header text's "User-Agent:" line, or the
// default agent when there is none.
Text WinInetUserAgent(std::string_view headerText);

// One request; the reply body as received, empty on failure.
Bytes WinInetClient(std::string_view url, const WinInetOptions& options, WinInetReply& reply);
Bytes WinInetClient(std::string_view url, const WinInetOptions& options = {});

}  // namespace lanque
