#pragma once

#include <cstddef>
#include <string_view>

#include "http/curl_handle.h"
#include "text/text.h"

// The request function with numbered failure messages, server and proxy credentials and the reply's status
// text, and its proxied twin used by the translation that content processing runs.
namespace lanque {

// The twenty optional arguments, with their defaults.
struct HttpClientOptions {
    int method = 0;               // method code; outside 0-7 is GET
    Text postText;                // body text, used when postBytes is empty
    Text sendCookies;             // 'a=1; b=2', or a whole line beginning "Cookie:"
    Text extraHeaders;            // request header lines separated by "\r\n"
    bool noRedirect = false;
    Text userName;                // Basic credentials for the server, used only with password
    Text password;
    Text proxy;                   // "host:port"; empty: no proxy at all
    Text proxyUser;               // Basic credentials for the proxy, used only with proxyPassword
    Text proxyPassword;
    int timeoutSeconds = 0;       // each phase of the request; below 1 means 30 seconds
    bool mergeCookies = true;
    bool completeHeaders = true;
    Bytes postBytes;              // body bytes, take precedence over postText
    bool normaliseHeaderNames = true;
    std::size_t maxReplyBytes = kDefaultMaxReplyBytes;  // a longer body fails with "713 读取数据失败!"
};

// The out-arguments. On a failure each keeps what it held, except statusText, which gets the message.
struct HttpClientReply {
    Text returnedCookies;
    Text returnedHeaders;  // the last reply's raw header block
    Text location;         // value of the reply's "Location: " line; left as it was when there is none
    Text statusText;       // '200 OK', or the message of the step that failed
    Bytes replyBytes;      // the body exactly as received
};

// Milliseconds for each phase: timeoutSeconds x 1000 above 0, else 30000.
long HttpClientTimeoutMs(int timeoutSeconds);

// The request header text the call sends, built from the options (header completion, name
// normalisation, the keep-alive rule and the cookie line).
Text HttpClientHeaderText(const HttpClientOptions& options);

// One request; the body as GBK text (converted from the charset a meta tag declares), empty on failure.
Text HttpClient(std::string_view url, const HttpClientOptions& options, HttpClientReply& reply);
Text HttpClient(std::string_view url, const HttpClientOptions& options = {});

// The same request with certificate checks off and the cookie merge that keeps blanks in values.
Text ProxiedHttpClient(std::string_view url, const HttpClientOptions& options, HttpClientReply& reply);
Text ProxiedHttpClient(std::string_view url, const HttpClientOptions& options = {});

}  // namespace lanque
