#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "services/faults.h"

// The reference forwarding proxy: a plain HTTP proxy on loopback that takes absolute-form requests
// ("GET http://127.0.0.1:18603/s?... HTTP/1.1") and CONNECT tunnels, and lets a request through only with
// a good "Proxy-Authorization: sign=S&orderno=O&timestamp=T" line: O a known order, T ten digits within the
// tolerance of the proxy's clock, S the upper-case MD5 of "orderno=O,secret=SECRET,timestamp=T". A missing
// or bad line gets 407. It forwards to loopback addresses only (the other reference services); any other
// target gets 403.
namespace lanque::services {

// order number -> secret
using ProxyOrders = std::map<std::string, std::string>;

// The demonstration order: the window's default order number with a secret of the services' own.
ProxyOrders DefaultProxyOrders();
inline constexpr int kDefaultTimestampToleranceSeconds = 300;

enum class ProxyAuthResult { kAccepted, kMissing, kMalformed, kUnknownOrder, kStale, kBadSign };

// Checks the value of a Proxy-Authorization header (leading blanks allowed) against the orders and the
// proxy's current time stamp.
ProxyAuthResult CheckProxyAuthorization(std::string_view value, const ProxyOrders& orders, int64_t now,
                                        int toleranceSeconds);
// The reason phrase of a refusal, for the 407 body.
std::string_view ProxyAuthReason(ProxyAuthResult result);
// The proxy's time stamp: whole seconds from the local date-time 1970-01-01 08:00:00, as the program signs.
int64_t ProxyClockNow();

struct ProxyOptions {
    ProxyOrders orders = DefaultProxyOrders();
    int toleranceSeconds = kDefaultTimestampToleranceSeconds;
    FaultPlan faults;
};

class ForwardProxy {
public:
    explicit ForwardProxy(ProxyOptions options);
    ~ForwardProxy();
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free port); false with a message when it cannot.
    bool Start(int port, std::string& error);
    int Port() const { return m_port; }
    // Closes the listening socket and every open connection, and waits for their threads.
    void Stop();
    uint64_t Refused() const { return m_refused.load(); }
    uint64_t Forwarded() const { return m_forwarded.load(); }

private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void AcceptLoop();
    void Serve(int client);
    bool Relay(int client, int upstream, std::string_view pending);
    void ReapFinished();

    ProxyOptions m_options;
    FaultInjector m_faults;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};  // becomes readable when the proxy stops
    int m_port = 0;
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::list<Connection> m_connections;
    std::atomic<uint64_t> m_refused{0};
    std::atomic<uint64_t> m_forwarded{0};
};

}  // namespace lanque::services
