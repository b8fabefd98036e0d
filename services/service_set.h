#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/faults.h"
#include "services/forward_proxy.h"
#include "services/rewrite_service.h"

// All reference services of one process, each on its own loopback port.
namespace lanque::services {

enum class Service { kRewrite, kTranslate, kSearch, kArticle, kProxy, kNotice };
inline constexpr Service kAllServices[] = {Service::kRewrite, Service::kTranslate, Service::kSearch,
                                           Service::kArticle, Service::kProxy, Service::kNotice};

// "rewrite", "translate", "search", "article", "proxy", "notice".
const char* ServiceName(Service service);
bool ServiceByName(const std::string& name, Service& service);

struct ServiceConfig {
    // Ports; 0 lets the system pick a free one (the chosen port is then ServiceSet::Port).
    std::map<Service, int> ports;
    std::map<Service, FaultPlan> faults;
    Accounts accounts = DefaultAccounts();
    ProxyOrders orders = DefaultProxyOrders();
    int toleranceSeconds = kDefaultTimestampToleranceSeconds;
    // Where the search engine's redirects point; empty means this process's own article platform.
    std::string articleBase;

    // The default ports of the program's endpoints, no faults.
    static ServiceConfig Defaults();
};

class ServiceSet {
public:
    ServiceSet();
    ~ServiceSet();
    ServiceSet(const ServiceSet&) = delete;
    ServiceSet& operator=(const ServiceSet&) = delete;

    // Binds every service and starts serving; on failure nothing keeps running and error says why.
    bool Start(const ServiceConfig& config, std::string& error);
    // Stops every service and waits for its threads; safe to call twice.
    void Stop();
    int Port(Service service) const;
    // "http://127.0.0.1:PORT" (the proxy: "127.0.0.1:PORT").
    std::string Base(Service service) const;
    // The LANQUE_* settings that point the program at these services, "NAME=value" each.
    std::vector<std::string> EnvironmentLines() const;
    // One line per service: what it is and where.
    std::vector<std::string> Describe() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace lanque::services
