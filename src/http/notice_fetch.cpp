#include "http/notice_fetch.h"

#include <algorithm>
#include <exception>
#include <string>

#include "http/curl_handle.h"
#include "http/header_helpers.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

namespace {

Text Fetch(std::string_view address, long timeLimitMs, std::size_t maxBytes)
{
    bool secure = address.size() >= 5 && AsciiEqualsIgnoreCase(address.substr(0, 5), "https");
    Text url = (secure ? "https://" : "http://") + UrlHost(address) + ":" + std::to_string(UrlPort(address)) +
               UrlPath(address);
    CurlHandle handle;
    if (!handle) return Text();
    CURL* curl = handle.get();
    CurlHeaderList headers;
    const Bytes emptyBody;
    bool ready = headers.AppendLines("Accept: */*\r\nContent-Type: application/x-www-form-urlencoded") &&
                 headers.SuppressLibraryDefaults(true, false) &&
                 curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK &&
                 SetOption(curl, CURLOPT_URL, url) &&
                 SetOption(curl, CURLOPT_USERAGENT, std::string("Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)")) &&
                 SetOption(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1)) &&
                 SetOption(curl, CURLOPT_PROXY, std::string()) && SetOption(curl, CURLOPT_FOLLOWLOCATION, 0L) &&
                 SetMethodAndBody(curl, "POST", &emptyBody);
    if (!ready) return Text();

    TransferLimits limits;
    limits.totalMs = std::max(timeLimitMs, 1L);
    limits.connectMs = limits.totalMs;
    limits.idleSeconds = std::max(1L, (limits.totalMs + 999) / 1000);
    limits.maxReplyBytes = maxBytes;
    TransferResult result = PerformTransfer(curl, limits);
    if (result.code != CURLE_OK || result.tooLarge) return Text();
    return Utf8ToGb2312(result.body);
}

}  // namespace

Text FetchNotice(std::string_view address, long timeLimitMs, std::size_t maxBytes)
{
    try {
        return Fetch(address, timeLimitMs, maxBytes);
    } catch (const std::exception&) {
        return Text();
    }
}

}  // namespace lanque
