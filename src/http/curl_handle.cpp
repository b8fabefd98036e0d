#include "http/curl_handle.h"

#include <mutex>
#include <string>
#include <utility>

#include "text/cutters.h"
#include "text/gbk.h"

namespace lanque {

namespace {

struct CallbackState {
    TransferResult* result;
    std::size_t maxReplyBytes;
};

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user)
{
    auto* state = static_cast<CallbackState*>(user);
    std::string_view line(data, size * count);
    TransferResult& result = *state->result;
    if (line.rfind("HTTP/", 0) == 0) {
        // A new reply starts (after a 1xx or a followed redirect): the outputs describe the last one.
        result.headerBlock.clear();
        result.body.clear();
        result.headerBlockComplete = false;
    }
    if (result.headerBlock.size() + line.size() > state->maxReplyBytes) return 0;
    result.headerBlock.append(line);
    if (line == "\r\n" || line == "\n") result.headerBlockComplete = true;
    return line.size();
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user)
{
    auto* state = static_cast<CallbackState*>(user);
    size_t length = size * count;
    TransferResult& result = *state->result;
    if (result.body.size() + length > state->maxReplyBytes) {
        result.tooLarge = true;
        return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
    }
    result.body.append(data, length);
    return length;
}

bool Ok(CURLcode code)
{
    return code == CURLE_OK;
}

}  // namespace

bool SetOption(CURL* curl, CURLoption option, const std::string& value)
{
    return curl_easy_setopt(curl, option, value.c_str()) == CURLE_OK;
}

bool SetOption(CURL* curl, CURLoption option, long value)
{
    return curl_easy_setopt(curl, option, value) == CURLE_OK;
}

bool EnsureCurlReady()
{
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

CurlHandle::CurlHandle()
{
    if (EnsureCurlReady()) m_curl = curl_easy_init();
}

CurlHandle::~CurlHandle()
{
    if (m_curl) curl_easy_cleanup(m_curl);
}

CurlHandle::CurlHandle(CurlHandle&& other) noexcept : m_curl(std::exchange(other.m_curl, nullptr)) {}

CurlHandle& CurlHandle::operator=(CurlHandle&& other) noexcept
{
    if (this != &other) {
        if (m_curl) curl_easy_cleanup(m_curl);
        m_curl = std::exchange(other.m_curl, nullptr);
    }
    return *this;
}

CurlHeaderList::~CurlHeaderList()
{
    curl_slist_free_all(m_list);
}

CurlHeaderList::CurlHeaderList(CurlHeaderList&& other) noexcept
    : m_list(std::exchange(other.m_list, nullptr)), m_failed(std::exchange(other.m_failed, false))
{
}

CurlHeaderList& CurlHeaderList::operator=(CurlHeaderList&& other) noexcept
{
    if (this != &other) {
        curl_slist_free_all(m_list);
        m_list = std::exchange(other.m_list, nullptr);
        m_failed = std::exchange(other.m_failed, false);
    }
    return *this;
}

bool CurlHeaderList::AppendRaw(std::string_view entry)
{
    m_scratch.assign(entry);
    curl_slist* grown = curl_slist_append(m_list, m_scratch.c_str());
    if (!grown) {
        m_failed = true;
        return false;
    }
    m_list = grown;
    return true;
}

bool CurlHeaderList::AppendLine(std::string_view line)
{
    // A CR, LF or NUL inside a line would let a value start a header (or a request) of its own.
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return true;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return true;
    if (Trim(line.substr(colon + 1)).empty()) {
        // libcurl reads "Name:" as "remove this header" and sends "Name;" as an empty one.
        m_scratch.assign(line.substr(0, colon));
        m_scratch += ';';
        return AppendRaw(std::string(m_scratch));
    }
    return AppendRaw(line);
}

bool CurlHeaderList::AppendLines(std::string_view headerText)
{
    // CR and LF are never part of a two-byte GBK character, so a plain search splits correctly.
    while (!headerText.empty()) {
        std::size_t end = headerText.find(kCrLf);
        if (!AppendLine(headerText.substr(0, end))) return false;
        if (end == std::string_view::npos) break;
        headerText.remove_prefix(end + kCrLf.size());
    }
    return true;
}

bool CurlHeaderList::Has(std::string_view name) const
{
    for (const curl_slist* item = m_list; item; item = item->next) {
        std::string_view entry(item->data);
        if (entry.size() > name.size() && AsciiEqualsIgnoreCase(entry.substr(0, name.size()), name) &&
            (entry[name.size()] == ':' || entry[name.size()] == ';')) {
            return true;
        }
    }
    return false;
}

bool CurlHeaderList::SuppressLibraryDefaults(bool sendsBody, bool viaProxy)
{
    auto suppress = [this](std::string_view name) { return Has(name) || AppendRaw(std::string(name) + ":"); };
    // libcurl adds "Accept: */*" to every request, a form Content-Type and "Expect: 100-continue" to one
    // with a body, and "Proxy-Connection: Keep-Alive" to one it sends to a proxy.
    return suppress("Accept") && (!sendsBody || (suppress("Content-Type") && suppress("Expect"))) &&
           (!viaProxy || suppress("Proxy-Connection"));
}

TransferLimits PhaseLimits(long phaseMs, std::size_t maxReplyBytes)
{
    TransferLimits limits;
    limits.connectMs = phaseMs;
    limits.idleSeconds = std::max(1L, (phaseMs + 999) / 1000);
    limits.totalMs = phaseMs * 4;
    limits.maxReplyBytes = maxReplyBytes;
    return limits;
}

TransferResult PerformTransfer(CURL* curl, const TransferLimits& limits)
{
    TransferResult result;
    CallbackState state{&result, limits.maxReplyBytes};
    bool ready = Ok(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https")) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https")) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.idleSeconds)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalMs)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE,
                                     static_cast<curl_off_t>(limits.maxReplyBytes))) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeaderLine)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBodyBytes)) &&
                 Ok(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state));
    if (!ready) {
        result.code = CURLE_FAILED_INIT;
        return result;
    }
    result.code = curl_easy_perform(curl);
    if (result.code == CURLE_FILESIZE_EXCEEDED) result.tooLarge = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_off_t pretransfer = 0;
    curl_easy_getinfo(curl, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    result.connected = pretransfer > 0 || result.headerBlockComplete;
    return result;
}

bool SetMethodAndBody(CURL* curl, std::string_view methodName, const Bytes* body)
{
    if (methodName == "HEAD") return Ok(curl_easy_setopt(curl, CURLOPT_NOBODY, 1L));
    bool withBody = body != nullptr;
    if (methodName == "GET" && !withBody) return Ok(curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L));
    if (withBody) {
        if (!Ok(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()))) ||
            !Ok(curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data()))) {
            return false;
        }
    }
    // A plain POST stays a POST through CURLOPT_POST, so a 301/302/303 is followed with a GET as browsers
    // do; a custom method name would be kept on every redirect.
    if (methodName == "POST") return Ok(curl_easy_setopt(curl, CURLOPT_POST, 1L));
    std::string name(methodName);
    return Ok(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, name.c_str()));
}

bool SetProxy(CURL* curl, std::string_view proxy, bool secureUrl, CurlHeaderList& proxyHeaders)
{
    if (proxy.empty()) return Ok(curl_easy_setopt(curl, CURLOPT_PROXY, ""));
    std::string address(proxy);
    if (address.find("://") == std::string::npos) address = "http://" + address;
    if (!Ok(curl_easy_setopt(curl, CURLOPT_PROXY, address.c_str()))) return false;
    if (!secureUrl) return true;  // absolute-form request: the request's own headers reach the proxy
    return Ok(curl_easy_setopt(curl, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE)) &&
           Ok(curl_easy_setopt(curl, CURLOPT_PROXYHEADER, proxyHeaders.get()));
}

Text ProxyAuthorisationLines(std::string_view headerText)
{
    std::vector<Text> lines;
    for (const Text& line : GbkSplit(headerText, kCrLf)) {
        if (AsciiEqualsIgnoreCase(TextBeforeColon(line), "Proxy-Authorization")) lines.push_back(line);
    }
    return Join(lines, kCrLf);
}

}  // namespace lanque
