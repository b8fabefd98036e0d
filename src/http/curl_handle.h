#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text.h"

// The libcurl plumbing the request functions share. Every request opens its own easy handle and closes it
// before returning; nothing is kept between calls.
namespace lanque {

// Replies larger than this fail cleanly instead of filling memory.
inline constexpr std::size_t kDefaultMaxReplyBytes = std::size_t{64} << 20;

// Initialises libcurl once per process, thread-safely; false when that failed.
bool EnsureCurlReady();

// curl_easy_setopt for a text or a number option; false when libcurl refuses it.
bool SetOption(CURL* curl, CURLoption option, const std::string& value);
bool SetOption(CURL* curl, CURLoption option, long value);

// One easy handle. Copy deleted, move noexcept.
class CurlHandle {
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
    CurlHandle(CurlHandle&& other) noexcept;
    CurlHandle& operator=(CurlHandle&& other) noexcept;

    CURL* get() const { return m_curl; }
    explicit operator bool() const { return m_curl != nullptr; }

private:
    CURL* m_curl = nullptr;
};

// A header list for CURLOPT_HTTPHEADER / CURLOPT_PROXYHEADER. Copy deleted, move noexcept.
class CurlHeaderList {
public:
    CurlHeaderList() = default;
    ~CurlHeaderList();
    CurlHeaderList(const CurlHeaderList&) = delete;
    CurlHeaderList& operator=(const CurlHeaderList&) = delete;
    CurlHeaderList(CurlHeaderList&& other) noexcept;
    CurlHeaderList& operator=(CurlHeaderList&& other) noexcept;

    // Appends one entry exactly as libcurl reads it ("Name: value", "Name;" or "Name:"); false on failure.
    bool AppendRaw(std::string_view entry);
    // Appends a request header "Name: value" so that it goes out as written: an empty value is sent empty
    // instead of removing the header. Lines without a name, or holding CR or LF, are not sent.
    bool AppendLine(std::string_view line);
    // Appends one header line per "\r\n"-separated line of the text, in order.
    bool AppendLines(std::string_view headerText);
    // Whether an entry with this header name (ASCII case ignored) is in the list.
    bool Has(std::string_view name) const;
    // Stops libcurl from adding its own Accept, Content-Type, Expect and Proxy-Connection lines, so that
    // only the lines given go out.
    bool SuppressLibraryDefaults(bool sendsBody, bool viaProxy);

    curl_slist* get() const { return m_list; }
    bool failed() const { return m_failed; }

private:
    curl_slist* m_list = nullptr;
    bool m_failed = false;
    std::string m_scratch;  // the NUL-terminated copy libcurl reads each entry from
};

// Time bounds of one request. connectMs also bounds name resolution; a reply that stays silent for
// idleSeconds fails; totalMs bounds the whole call.
struct TransferLimits {
    long connectMs = 30000;
    long idleSeconds = 30;
    long totalMs = 120000;
    std::size_t maxReplyBytes = kDefaultMaxReplyBytes;
};

// The same time-out for each phase (resolve and connect, send, receive); the whole call is bounded by the
// sum of the four phases.
TransferLimits PhaseLimits(long phaseMs, std::size_t maxReplyBytes);

// What one transfer brought back.
struct TransferResult {
    CURLcode code = CURLE_OK;
    bool headerBlockComplete = false;  // the last reply's header block arrived in full
    bool tooLarge = false;             // the body passed maxReplyBytes
    Text headerBlock;                  // the last reply's raw header block, status line through the empty line
    Bytes body;                        // the last reply's body as received
    long status = 0;
    bool connected = false;            // a connection was made and the request was ready to go
};

// Installs the callbacks and limits on a prepared handle, performs the request and collects the reply.
// Proxy CONNECT replies are not part of the header block.
TransferResult PerformTransfer(CURL* curl, const TransferLimits& limits);

// Tells libcurl to send the body with the method: POST through CURLOPT_POST, any other method as a custom
// request with CURLOPT_POSTFIELDS (so a GET may carry a body). HEAD never carries one: its reply has none.
bool SetMethodAndBody(CURL* curl, std::string_view methodName, const Bytes* body);

// Proxy "host:port" (an explicit "http://" is kept) for every scheme of the request. When the address is
// https the request is tunnelled with CONNECT, and proxyHeaders (the Proxy-Authorization lines) go on the
// CONNECT request as well as on the tunnelled one.
bool SetProxy(CURL* curl, std::string_view proxy, bool secureUrl, CurlHeaderList& proxyHeaders);

// The Proxy-Authorization lines of a header text, in order.
Text ProxyAuthorisationLines(std::string_view headerText);

}  // namespace lanque
