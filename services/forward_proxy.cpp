#include "services/forward_proxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "services/service_text.h"
#include "text/encodings.h"

namespace lanque::services {

namespace {

constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr int kIoTimeoutMs = 30000;  // a connection idle this long is closed

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

std::string SimpleReply(int status, std::string_view reason, std::string_view body,
                        std::string_view extraHeaders = {}) {
    return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n" + std::string(extraHeaders) +
           "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + std::string(body);
}

// Waits until fd is readable, or the wake pipe fires, or the time-out passes. True only for fd readable.
bool WaitReadable(int fd, int wake, int timeoutMs) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake, POLLIN, 0}};
    while (true) {
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        return ready > 0 && (fds[1].revents & POLLIN) == 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    }
}

struct RequestHead {
    std::string method;
    std::string target;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;
};

bool ParseHead(std::string_view head, RequestHead& request) {
    const size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const size_t first = line.find(' ');
    const size_t last = line.rfind(' ');
    if (first == std::string_view::npos || last == first) return false;
    request.method = std::string(line.substr(0, first));
    request.target = std::string(line.substr(first + 1, last - first - 1));
    request.version = std::string(line.substr(last + 1));
    if (request.version.rfind("HTTP/1.", 0) != 0 || request.target.empty()) return false;
    size_t at = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
    while (at < head.size()) {
        size_t end = head.find("\r\n", at);
        if (end == std::string_view::npos) end = head.size();
        const std::string_view header = head.substr(at, end - at);
        at = end + 2;
        if (header.empty()) continue;
        const size_t colon = header.find(':');
        if (colon == std::string_view::npos) return false;
        request.headers.emplace_back(std::string(header.substr(0, colon)),
                                     std::string(TrimBlanks(header.substr(colon + 1))));
    }
    return true;
}

const std::string* FindHeader(const RequestHead& request, std::string_view name) {
    for (const auto& [key, value] : request.headers) {
        if (EqualsIgnoreCase(key, name)) return &value;
    }
    return nullptr;
}

// "host:port" or "[v6]:port" into its parts; the port defaults to defaultPort.
bool SplitHostPort(std::string_view authority, int defaultPort, std::string& host, int& port) {
    port = defaultPort;
    std::string_view rest;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = std::string(authority.substr(1, close - 1));
        rest = authority.substr(close + 1);
    } else {
        const size_t colon = authority.find(':');
        host = std::string(authority.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    }
    if (!rest.empty()) {
        if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return false;
        port = 0;
        for (char c : rest.substr(1)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            port = port * 10 + (c - '0');
        }
    }
    return !host.empty() && port > 0 && port < 65536;
}

bool IsLoopbackHost(std::string_view host) {
    return host == "127.0.0.1" || host == "::1" || EqualsIgnoreCase(host, "localhost");
}

int ConnectLoopback(const std::string& host, int port) {
    const bool v6 = host == "::1";
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int result = -1;
    if (v6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<uint16_t>(port));
        address.sin6_addr = in6addr_loopback;
        result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Closes with a reset instead of an orderly shutdown.
void ResetConnection(int fd) {
    linger option{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

}  // namespace

ProxyOrders DefaultProxyOrders() { return {{"ZF3125947360QwTbNe", "lanque-demo-secret"}}; }

int64_t ProxyClockNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return static_cast<int64_t>(now) + local.tm_gmtoff - 8 * 3600;
}

ProxyAuthResult CheckProxyAuthorization(std::string_view value, const ProxyOrders& orders, int64_t now,
                                        int toleranceSeconds) {
    value = TrimBlanks(value);
    if (value.empty()) return ProxyAuthResult::kMissing;
    std::string sign, order, timestamp;
    if (!FormField(value, "sign", sign) || !FormField(value, "orderno", order) ||
        !FormField(value, "timestamp", timestamp) || timestamp.size() != 10 || sign.size() != 32) {
        return ProxyAuthResult::kMalformed;
    }
    int64_t stamp = 0;
    for (char c : timestamp) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return ProxyAuthResult::kMalformed;
        stamp = stamp * 10 + (c - '0');
    }
    const auto found = orders.find(order);
    if (found == orders.end()) return ProxyAuthResult::kUnknownOrder;
    if (stamp < now - toleranceSeconds || stamp > now + toleranceSeconds) return ProxyAuthResult::kStale;
    const std::string expected =
        Md5Hex("orderno=" + order + ",secret=" + found->second + ",timestamp=" + timestamp, true);
    return sign == expected ? ProxyAuthResult::kAccepted : ProxyAuthResult::kBadSign;
}

std::string_view ProxyAuthReason(ProxyAuthResult result) {
    switch (result) {
        case ProxyAuthResult::kAccepted: return "accepted";
        case ProxyAuthResult::kMissing: return "no Proxy-Authorization header";
        case ProxyAuthResult::kMalformed: return "Proxy-Authorization is not sign=S&orderno=O&timestamp=T";
        case ProxyAuthResult::kUnknownOrder: return "unknown order number";
        case ProxyAuthResult::kStale: return "time stamp outside the tolerance";
        case ProxyAuthResult::kBadSign: return "wrong sign";
    }
    return "refused";
}

ForwardProxy::ForwardProxy(ProxyOptions options) : m_options(std::move(options)), m_faults(m_options.faults) {}

ForwardProxy::~ForwardProxy() { Stop(); }

bool ForwardProxy::Start(int port, std::string& error) {
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listen, 64) != 0) {
        error = "forwarding proxy: cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        Stop();
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void ForwardProxy::Stop() {
    if (m_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &byte, 1);
    }
    if (m_acceptor.joinable()) m_acceptor.join();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (Connection& connection : m_connections) {
            if (connection.thread.joinable()) connection.thread.join();
        }
        m_connections.clear();
    }
    for (int* fd : {&m_listen, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void ForwardProxy::ReapFinished() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        if (it->done.load()) {
            it->thread.join();
            it = m_connections.erase(it);
        } else {
            ++it;
        }
    }
}

void ForwardProxy::AcceptLoop() {
    while (WaitReadable(m_listen, m_wake[0], -1)) {
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ReapFinished();
        std::lock_guard<std::mutex> lock(m_mutex);
        Connection& connection = m_connections.emplace_back();
        connection.thread = std::thread([this, client, &connection] {
            Serve(client);
            ::close(client);
            connection.done = true;
        });
    }
}

void ForwardProxy::Serve(int client) {
    std::string head;
    size_t headEnd = std::string::npos;
    char buffer[16384];
    while ((headEnd = head.find("\r\n\r\n")) == std::string::npos) {
        if (head.size() > kMaxHeadBytes) {
            SendAll(client, SimpleReply(431, "Request Header Fields Too Large", "request head too large\n"));
            return;
        }
        if (!WaitReadable(client, m_wake[0], kIoTimeoutMs)) return;
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        head.append(buffer, static_cast<size_t>(got));
    }
    const std::string pending = head.substr(headEnd + 4);
    head.resize(headEnd);

    RequestHead request;
    if (!ParseHead(head, request)) {
        SendAll(client, SimpleReply(400, "Bad Request", "malformed request head\n"));
        return;
    }
    PauseMs(m_faults.Plan().latencyMs);
    const std::string* authorization = FindHeader(request, "Proxy-Authorization");
    const ProxyAuthResult auth = CheckProxyAuthorization(authorization ? *authorization : std::string(),
                                                         m_options.orders, ProxyClockNow(),
                                                         m_options.toleranceSeconds);
    if (auth != ProxyAuthResult::kAccepted) {
        ++m_refused;
        SendAll(client, SimpleReply(407, "Proxy Authentication Required", std::string(ProxyAuthReason(auth)) + "\n",
                                    "Proxy-Authenticate: Sign realm=\"lanque\"\r\n"));
        return;
    }

    const bool tunnel = request.method == "CONNECT";
    std::string host;
    int port = 0;
    std::string path = "/";
    if (tunnel) {
        if (!SplitHostPort(request.target, 443, host, port)) {
            SendAll(client, SimpleReply(400, "Bad Request", "CONNECT wants host:port\n"));
            return;
        }
    } else {
        constexpr std::string_view kScheme = "http://";
        if (request.target.size() <= kScheme.size() || !EqualsIgnoreCase(request.target.substr(0, 7), kScheme)) {
            SendAll(client, SimpleReply(400, "Bad Request", "a proxy request names an absolute http:// address\n"));
            return;
        }
        const std::string_view rest = std::string_view(request.target).substr(kScheme.size());
        const size_t slash = rest.find_first_of("/?");
        if (!SplitHostPort(rest.substr(0, slash), 80, host, port)) {
            SendAll(client, SimpleReply(400, "Bad Request", "bad host in the address\n"));
            return;
        }
        if (slash != std::string_view::npos) {
            path = rest[slash] == '/' ? std::string(rest.substr(slash)) : "/" + std::string(rest.substr(slash));
        }
    }
    if (!IsLoopbackHost(host)) {
        SendAll(client, SimpleReply(403, "Forbidden", "this proxy forwards to loopback addresses only\n"));
        return;
    }

    const FaultKind fault = m_faults.Next();
    if (fault == FaultKind::kReset) {
        ResetConnection(client);
        return;
    }
    if (fault == FaultKind::kEmpty || fault == FaultKind::kGarbage) {
        const std::string body = fault == FaultKind::kEmpty ? std::string() : m_faults.GarbageBody(m_faults.Served());
        SendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                            "\r\nConnection: close\r\n\r\n" + body);
        return;
    }

    const int upstream = ConnectLoopback(host == "localhost" ? "127.0.0.1" : host, port);
    if (upstream < 0) {
        SendAll(client, SimpleReply(502, "Bad Gateway", "cannot reach " + host + ":" + std::to_string(port) + "\n"));
        return;
    }
    ++m_forwarded;
    if (tunnel) {
        SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n");
        Relay(client, upstream, pending);
    } else {
        // Origin-form to the service, without the proxy's own header lines, one request per connection.
        std::string forward = request.method + " " + path + " HTTP/1.1\r\n";
        bool hasHost = false;
        for (const auto& [key, value] : request.headers) {
            if (EqualsIgnoreCase(key, "Proxy-Authorization") || EqualsIgnoreCase(key, "Proxy-Connection") ||
                EqualsIgnoreCase(key, "Connection") || EqualsIgnoreCase(key, "Keep-Alive")) {
                continue;
            }
            hasHost = hasHost || EqualsIgnoreCase(key, "Host");
            forward += key + ": " + value + "\r\n";
        }
        if (!hasHost) forward += "Host: " + host + ":" + std::to_string(port) + "\r\n";
        forward += "Connection: close\r\n\r\n";
        if (SendAll(upstream, forward)) {
            Relay(client, upstream, pending);
        }
    }
    ::close(upstream);
}

// Copies bytes both ways until the service closes (or both sides are done); slow bodies are paced here.
bool ForwardProxy::Relay(int client, int upstream, std::string_view pending) {
    if (!pending.empty() && !SendAll(upstream, pending)) return false;
    bool clientOpen = true;
    char buffer[16384];
    const int slowMs = m_faults.Plan().slowBodyMs;
    while (true) {
        pollfd fds[3] = {{upstream, POLLIN, 0}, {clientOpen ? client : -1, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const int ready = ::poll(fds, 3, kIoTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (fds[2].revents & POLLIN) != 0) return false;
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const size_t chunk = slowMs > 0 ? kSlowChunkBytes : sizeof buffer;
            const ssize_t got = ::recv(upstream, buffer, chunk, 0);
            if (got <= 0) return true;  // the service has answered and closed
            if (!SendAll(client, std::string_view(buffer, static_cast<size_t>(got)))) return false;
            PauseMs(slowMs);
        }
        if (clientOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                clientOpen = false;
                ::shutdown(upstream, SHUT_WR);
            } else if (!SendAll(upstream, std::string_view(buffer, static_cast<size_t>(got)))) {
                return false;
            }
        }
    }
}

}  // namespace lanque::services
