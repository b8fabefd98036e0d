#include "services/service_set.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "services/pages.h"
#include "services/service_text.h"
#include "services/translate_service.h"

namespace lanque::services {

namespace {

constexpr size_t kMaxBodyBytes = 64 * 1024 * 1024;
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kPlain = "text/plain; charset=utf-8";

// Sends a reply through the service's fault plan: added latency, then perhaps an empty or garbage body,
// a connection cut after half the body, or the body in slow chunks.
void Deliver(FaultInjector& faults, httplib::Response& res, int status, std::string body, const char* type) {
    PauseMs(faults.Plan().latencyMs);
    const FaultKind kind = faults.Next();
    res.status = status;
    switch (kind) {
        case FaultKind::kEmpty:
            res.status = 200;
            res.set_content(std::string(), type);
            return;
        case FaultKind::kGarbage:
            res.status = 200;
            res.set_content(faults.GarbageBody(faults.Served()), type);
            return;
        case FaultKind::kReset: {
            auto shared = std::make_shared<std::string>(std::move(body));
            res.set_content_provider(shared->size() + 1, type,
                                     [shared](size_t, size_t, httplib::DataSink& sink) {
                                         sink.write(shared->data(), shared->size() / 2);
                                         return false;  // the connection is dropped mid-body
                                     });
            return;
        }
        case FaultKind::kNone:
            break;
    }
    const int slowMs = faults.Plan().slowBodyMs;
    if (slowMs <= 0) {
        res.set_content(std::move(body), type);
        return;
    }
    auto shared = std::make_shared<std::string>(std::move(body));
    res.set_content_provider(shared->size(), type, [shared, slowMs](size_t offset, size_t length, httplib::DataSink& sink) {
        const size_t chunk = std::min(length, kSlowChunkBytes);
        if (offset > 0) {
            PauseMs(slowMs);
        }
        return sink.write(shared->data() + offset, chunk);
    });
}

struct HttpService {
    explicit HttpService(const FaultPlan& plan) : faults(plan) {}
    httplib::Server server;
    FaultInjector faults;
    std::thread thread;
    std::atomic<bool> listenEnded{false};
    int port = 0;
};

// httplib's stop() does nothing before the listening loop has started, so Start waits for it.
void WaitUntilListening(const HttpService& s) {
    while (!s.server.is_running() && !s.listenEnded.load()) {
        std::this_thread::yield();
    }
}

// Opens and closes one connection to a loopback port.
void PokePort(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::close(fd);
}

// httplib's own multipart reader wants a line break after the closing boundary, which the program's upload
// does not send; the service reads uploads itself, so httplib is shown another content type for them.
constexpr const char* kUploadTypeHeader = "X-Lanque-Upload-Type";

httplib::Server::HandlerResponse HideMultipart(const httplib::Request& req, httplib::Response&) {
    if (req.is_multipart_form_data()) {
        // The request object is httplib's own, non-const one; only its header map is changed here.
        auto& headers = const_cast<httplib::Request&>(req).headers;
        const std::string type = req.get_header_value("Content-Type");
        headers.erase("Content-Type");
        headers.emplace("Content-Type", "application/octet-stream");
        headers.emplace(kUploadTypeHeader, type);
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

}  // namespace

const char* ServiceName(Service service) {
    switch (service) {
        case Service::kRewrite: return "rewrite";
        case Service::kTranslate: return "translate";
        case Service::kSearch: return "search";
        case Service::kArticle: return "article";
        case Service::kProxy: return "proxy";
        case Service::kNotice: return "notice";
    }
    return "";
}

bool ServiceByName(const std::string& name, Service& service) {
    for (Service candidate : kAllServices) {
        if (name == ServiceName(candidate)) {
            service = candidate;
            return true;
        }
    }
    return false;
}

ServiceConfig ServiceConfig::Defaults() {
    ServiceConfig config;
    config.ports = {{Service::kRewrite, 18601}, {Service::kTranslate, 18602}, {Service::kSearch, 18603},
                    {Service::kArticle, 18604}, {Service::kProxy, 18605},     {Service::kNotice, 18606}};
    return config;
}

struct ServiceSet::Impl {
    ServiceConfig config;
    std::map<Service, std::unique_ptr<HttpService>> http;
    std::unique_ptr<ForwardProxy> proxy;

    void AddRoutes(Service service, HttpService& s);
    std::string ArticleBase() const {
        if (!config.articleBase.empty()) return config.articleBase;
        return "http://127.0.0.1:" + std::to_string(http.at(Service::kArticle)->port);
    }
};

void ServiceSet::Impl::AddRoutes(Service service, HttpService& s) {
    FaultInjector& faults = s.faults;
    httplib::Server& server = s.server;
    switch (service) {
        case Service::kRewrite:
            server.Post("/api.php", [this, &faults](const httplib::Request& req, httplib::Response& res) {
                std::string reply;
                if (req.has_header(kUploadTypeHeader)) {
                    std::map<std::string, std::string> parts;
                    if (!ParseMultipart(req.get_header_value(kUploadTypeHeader), req.body, parts)) {
                        reply = RefusalReply(400, U8(u8"multipart 格式错误"));
                    } else {
                        const auto num = parts.find("num");
                        const auto file = parts.find("file");
                        reply = AnswerUpload(num != parts.end(), num != parts.end() ? num->second : std::string(),
                                             file != parts.end(), file != parts.end() ? file->second : std::string());
                    }
                } else {
                    reply = AnswerForm(req.body, config.accounts);
                }
                Deliver(faults, res, 200, std::move(reply), kJson);
            });
            server.Get("/api.php", [&faults](const httplib::Request&, httplib::Response& res) {
                Deliver(faults, res, 200, RefusalReply(405, "POST id=vip&user=...&str=...&num=1&sign=..."), kJson);
            });
            break;
        case Service::kTranslate:
            server.Post("/translate_a/single", [&faults](const httplib::Request& req, httplib::Response& res) {
                TranslationAnswer answer = AnswerTranslation(req.get_param_value("sl"), req.get_param_value("tl"),
                                                             req.get_param_value("tk"), req.body);
                Deliver(faults, res, answer.status, std::move(answer.body), answer.status == 200 ? kJson : kPlain);
            });
            break;
        case Service::kSearch: {
            const std::string self = "http://127.0.0.1:" + std::to_string(s.port);
            server.Get("/s", [self, &faults](const httplib::Request& req, httplib::Response& res) {
                const std::string keyword = KeywordOfQuery(req.get_param_value("wd"));
                if (keyword.empty()) {
                    Deliver(faults, res, 200, SitePage(), kHtml);  // no query: no result column at all
                    return;
                }
                Deliver(faults, res, 200, SearchResultPage(keyword, PageOfPn(req.get_param_value("pn")), self), kHtml);
            });
            server.Get("/link", [this, &faults](const httplib::Request& req, httplib::Response& res) {
                std::string id;
                if (!ArticleIdOfToken(req.get_param_value("url"), id)) {
                    Deliver(faults, res, 404, "unknown link\n", kPlain);
                    return;
                }
                res.set_header("Location", ArticleBase() + "/s?id=" + id);
                Deliver(faults, res, 302, std::string(), kHtml);
            });
            break;
        }
        case Service::kArticle: {
            const std::string self = "http://127.0.0.1:" + std::to_string(s.port);
            server.Get("/s", [self, &faults](const httplib::Request& req, httplib::Response& res) {
                const std::string id = req.get_param_value("id");
                if (!IsArticleId(id)) {
                    Deliver(faults, res, 404, ArticleMissingPage(), kHtml);
                    return;
                }
                Deliver(faults, res, 200, ArticlePage(id, self), kHtml);
            });
            break;
        }
        case Service::kNotice: {
            const auto notice = [&faults](const httplib::Request&, httplib::Response& res) {
                Deliver(faults, res, 200, NoticeText(), kPlain);
            };
            server.Get("/notice", notice);
            server.Post("/notice", notice);
            server.Get("/", [&faults](const httplib::Request&, httplib::Response& res) {
                Deliver(faults, res, 200, SitePage(), kHtml);
            });
            server.Get("/home", [&faults](const httplib::Request&, httplib::Response& res) {
                Deliver(faults, res, 200, HomePage(), kHtml);
            });
            server.Get("/api", [&faults](const httplib::Request&, httplib::Response& res) {
                Deliver(faults, res, 200, ApiDocsPage(), kHtml);
            });
            break;
        }
        case Service::kProxy:
            break;
    }
}

ServiceSet::ServiceSet() : m_impl(std::make_unique<Impl>()) {}

ServiceSet::~ServiceSet() { Stop(); }

bool ServiceSet::Start(const ServiceConfig& config, std::string& error) {
    Stop();
    m_impl->config = config;
    const auto portOf = [&config](Service service) {
        const auto found = config.ports.find(service);
        return found == config.ports.end() ? 0 : found->second;
    };
    const auto faultsOf = [&config](Service service) {
        const auto found = config.faults.find(service);
        return found == config.faults.end() ? FaultPlan{} : found->second;
    };
    // Bind everything first, so the routes know every port before the first request.
    for (Service service : kAllServices) {
        if (service == Service::kProxy) continue;
        auto s = std::make_unique<HttpService>(faultsOf(service));
        s->server.set_payload_max_length(kMaxBodyBytes);
        s->server.set_keep_alive_timeout(1);
        s->server.set_pre_routing_handler(HideMultipart);
        // httplib's default also sets SO_REUSEPORT, which would let a second instance share the port.
        s->server.set_socket_options([](socket_t sock) {
            const int yes = 1;
            setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        });
        const int port = portOf(service);
        s->port = port == 0 ? s->server.bind_to_any_port("127.0.0.1") : (s->server.bind_to_port("127.0.0.1", port) ? port : -1);
        if (s->port <= 0) {
            error = std::string(ServiceName(service)) + " service: cannot listen on 127.0.0.1:" + std::to_string(port);
            Stop();
            return false;
        }
        m_impl->http[service] = std::move(s);
    }
    ProxyOptions options;
    options.orders = config.orders;
    options.toleranceSeconds = config.toleranceSeconds;
    options.faults = faultsOf(Service::kProxy);
    m_impl->proxy = std::make_unique<ForwardProxy>(options);
    if (!m_impl->proxy->Start(portOf(Service::kProxy), error)) {
        Stop();
        return false;
    }
    for (auto& [service, s] : m_impl->http) {
        m_impl->AddRoutes(service, *s);
        HttpService* raw = s.get();
        s->thread = std::thread([raw] {
            raw->server.listen_after_bind();
            raw->listenEnded = true;
        });
    }
    for (auto& [service, s] : m_impl->http) {
        WaitUntilListening(*s);
    }
    return true;
}

void ServiceSet::Stop() {
    for (auto& [service, s] : m_impl->http) {
        // httplib's stop() can miss a listening thread that is just entering accept(); a connection to the
        // port wakes it, and it then sees the server stopped.
        while (s->thread.joinable() && !s->listenEnded.load()) {
            s->server.stop();
            PokePort(s->port);
            std::this_thread::yield();
        }
        if (s->thread.joinable()) s->thread.join();
    }
    m_impl->http.clear();
    if (m_impl->proxy) {
        m_impl->proxy->Stop();
        m_impl->proxy.reset();
    }
}

int ServiceSet::Port(Service service) const {
    if (service == Service::kProxy) return m_impl->proxy ? m_impl->proxy->Port() : 0;
    const auto found = m_impl->http.find(service);
    return found == m_impl->http.end() ? 0 : found->second->port;
}

std::string ServiceSet::Base(Service service) const {
    const std::string address = "127.0.0.1:" + std::to_string(Port(service));
    return service == Service::kProxy ? address : "http://" + address;
}

std::vector<std::string> ServiceSet::EnvironmentLines() const {
    const std::string notice = Base(Service::kNotice);
    return {
        "LANQUE_REWRITE_URL=" + Base(Service::kRewrite),   "LANQUE_TRANSLATE_URL=" + Base(Service::kTranslate),
        "LANQUE_SEARCH_URL=" + Base(Service::kSearch),     "LANQUE_ARTICLE_URL=" + Base(Service::kArticle),
        "LANQUE_PROXY=" + Base(Service::kProxy),           "LANQUE_NOTICE_URL=" + notice + "/notice",
        "LANQUE_SITE_URL=" + notice + "/",                 "LANQUE_HOME_URL=" + notice + "/home",
        "LANQUE_API_DOCS_URL=" + notice + "/api",
    };
}

std::vector<std::string> ServiceSet::Describe() const {
    const auto faultNote = [this](Service service) {
        const auto found = m_impl->config.faults.find(service);
        return found != m_impl->config.faults.end() && found->second.Active() ? std::string("  (faults on)") : std::string();
    };
    return {
        "rewriting service    " + Base(Service::kRewrite) + "/api.php" + faultNote(Service::kRewrite),
        "translation service  " + Base(Service::kTranslate) + "/translate_a/single" + faultNote(Service::kTranslate),
        "search engine        " + Base(Service::kSearch) + "/s?wd=..." + faultNote(Service::kSearch),
        "article platform     " + Base(Service::kArticle) + "/s?id=..." + faultNote(Service::kArticle),
        "forwarding proxy     " + Base(Service::kProxy) + faultNote(Service::kProxy),
        "notice service       " + Base(Service::kNotice) + "/notice  (site /, home /home, API docs /api)" +
            faultNote(Service::kNotice),
    };
}

}  // namespace lanque::services
