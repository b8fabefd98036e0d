#include "support/recording_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace lanque::test {

namespace {

constexpr int kReadTimeoutSeconds = 5;
constexpr std::size_t kMaxHeadBytes = 1 << 20;

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view NameOf(std::string_view line)
{
    auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view{} : line.substr(0, colon);
}

// One self-signed certificate for 127.0.0.1, made once per process.
SSL_CTX* ServerContext()
{
    static SSL_CTX* context = [] {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 365);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                                   -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_sign(cert, key, EVP_sha256());
        SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(ctx, cert);
        SSL_CTX_use_PrivateKey(ctx, key);
        X509_free(cert);
        EVP_PKEY_free(key);
        return ctx;
    }();
    return context;
}

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const
{
    for (const auto& line : headerLines) {
        if (SameName(NameOf(line), name)) {
            std::string_view value = std::string_view(line).substr(name.size() + 1);
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            return std::string(value);
        }
    }
    return {};
}

bool RecordedRequest::HasHeader(std::string_view name) const
{
    return std::any_of(headerLines.begin(), headerLines.end(),
                       [&](const std::string& line) { return SameName(NameOf(line), name); });
}

std::vector<std::string> RecordedRequest::LinesWithout(const std::vector<std::string>& names) const
{
    std::vector<std::string> kept;
    for (const auto& line : headerLines) {
        bool skip = std::any_of(names.begin(), names.end(),
                                [&](const std::string& name) { return SameName(NameOf(line), name); });
        if (!skip) kept.push_back(line);
    }
    return kept;
}

ScriptedReply ScriptedReply::Ok(std::string body)
{
    ScriptedReply reply;
    reply.body = std::move(body);
    return reply;
}

ScriptedReply ScriptedReply::Redirect(int status, std::string location)
{
    ScriptedReply reply;
    reply.status = status;
    reply.reason = status == 301 ? "Moved Permanently" : "Found";
    reply.headers.push_back("Location: " + location);
    reply.body = "moved";
    return reply;
}

// A socket, TLS-wrapped once ssl is set, with the bytes read ahead of the current request.
struct RecordingServer::Connection {
    int fd = -1;
    SSL* ssl = nullptr;
    std::string buffer;

    ~Connection()
    {
        if (ssl) SSL_free(ssl);
    }

    bool StartTls()
    {
        ssl = SSL_new(ServerContext());
        SSL_set_fd(ssl, fd);
        return SSL_accept(ssl) == 1;
    }

    bool ReadMore()
    {
        char chunk[16384];
        long got = ssl ? SSL_read(ssl, chunk, sizeof chunk) : ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0) return false;
        buffer.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    bool Write(std::string_view data)
    {
        while (!data.empty()) {
            long sent = ssl ? SSL_write(ssl, data.data(), static_cast<int>(data.size()))
                            : ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (sent <= 0) return false;
            data.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }
};

RecordingServer::RecordingServer(bool tls) : m_tls(tls)
{
    ::signal(SIGPIPE, SIG_IGN);
    if (tls) ServerContext();
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, 64) != 0) {
        std::abort();  // a test machine without loopback cannot run these tests at all
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

RecordingServer::~RecordingServer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        for (int fd : m_openFds) ::shutdown(fd, SHUT_RDWR);
    }
    m_changed.notify_all();
    ::shutdown(m_listenFd, SHUT_RDWR);
    m_acceptThread.join();
    ::close(m_listenFd);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_activeConnections == 0; });
}

std::string RecordingServer::BaseUrl() const
{
    return (m_tls ? "https://" : "http://") + HostPort();
}

std::string RecordingServer::HostPort() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

void RecordingServer::Queue(ScriptedReply reply)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(reply));
}

void RecordingServer::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<RecordedRequest> RecordingServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::size_t RecordingServer::RequestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

RecordedRequest RecordingServer::LastRequest() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_requests.rbegin(); it != m_requests.rend(); ++it) {
        if (it->method != "CONNECT") return *it;
    }
    return {};
}

void RecordingServer::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
    m_queue.clear();
}

void RecordingServer::AcceptLoop()
{
    while (!m_stop) {
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (m_stop || (errno != EINTR && errno != ECONNABORTED)) return;
            continue;
        }
        timeval timeout{kReadTimeoutSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop) {
                ::close(fd);
                return;
            }
            m_openFds.insert(fd);
            ++m_activeConnections;
        }
        std::thread([this, fd] { Serve(fd); }).detach();
    }
}

void RecordingServer::Serve(int fd)
{
    {
        Connection conn;
        conn.fd = fd;
        bool tunnelled = false;
        if (!m_tls || conn.StartTls()) {
            while (!m_stop) {
                bool wasPlain = conn.ssl == nullptr;
                if (!ServeOne(conn, tunnelled)) break;
                if (wasPlain && conn.ssl) tunnelled = true;
            }
        }
        if (conn.ssl) SSL_shutdown(conn.ssl);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFds.erase(fd);
    ::close(fd);
    --m_activeConnections;
    m_changed.notify_all();
}

// Reads one request and answers it; false when the connection should close.
bool RecordingServer::ServeOne(Connection& conn, bool tunnelled)
{
    std::size_t end;
    while ((end = conn.buffer.find("\r\n\r\n")) == std::string::npos) {
        if (conn.buffer.size() > kMaxHeadBytes || !conn.ReadMore()) return false;
    }
    RecordedRequest request;
    request.tunnelled = tunnelled;
    request.tls = conn.ssl != nullptr;
    request.head = conn.buffer.substr(0, end + 2);
    conn.buffer.erase(0, end + 4);

    std::string_view head = request.head;
    std::size_t lineEnd = head.find("\r\n");
    std::string_view requestLine = head.substr(0, lineEnd);
    std::size_t space1 = requestLine.find(' ');
    std::size_t space2 = requestLine.rfind(' ');
    if (space1 == std::string_view::npos || space2 == space1) return false;
    request.method = requestLine.substr(0, space1);
    request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
    request.version = requestLine.substr(space2 + 1);
    for (std::size_t pos = lineEnd + 2; pos < head.size();) {
        std::size_t next = head.find("\r\n", pos);
        request.headerLines.emplace_back(head.substr(pos, next - pos));
        pos = next + 2;
    }

    std::size_t length = static_cast<std::size_t>(std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10));
    while (conn.buffer.size() < length) {
        if (!conn.ReadMore()) return false;
    }
    request.body = conn.buffer.substr(0, length);
    conn.buffer.erase(0, length);
    Record(request);

    if (request.method == "CONNECT") {
        return conn.Write("HTTP/1.1 200 Connection established\r\n\r\n") && conn.StartTls();
    }
    ScriptedReply reply = NextReply(request);
    if (reply.delayMs > 0 && !WaitOrStop(reply.delayMs)) return false;
    if (reply.closeWithoutReply) return false;
    SendReply(conn, request, reply);
    bool clientCloses = SameName(request.Header("Connection"), "close");
    return !(reply.closeAfter || reply.closeMidBody || clientCloses);
}

ScriptedReply RecordingServer::NextReply(const RecordedRequest& request)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_queue.empty()) {
            ScriptedReply reply = std::move(m_queue.front());
            m_queue.erase(m_queue.begin());
            return reply;
        }
        handler = m_handler;
    }
    return handler ? handler(request) : ScriptedReply::Ok("ok");
}

void RecordingServer::SendReply(Connection& conn, const RecordedRequest& request, const ScriptedReply& reply)
{
    if (!reply.raw.empty()) {
        conn.Write(reply.raw);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    bool hasLength = false;
    for (const auto& line : reply.headers) {
        head += line + "\r\n";
        hasLength = hasLength || SameName(NameOf(line), "Content-Length");
    }
    if (reply.chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (!hasLength) {
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    }
    head += "\r\n";
    if (request.method == "HEAD") {
        conn.Write(head);
        return;
    }
    if (reply.closeMidBody) {
        conn.Write(head + reply.body.substr(0, reply.body.size() / 2));
        return;
    }
    if (!reply.chunked) {
        conn.Write(head + reply.body);
        return;
    }
    std::string out = head;
    std::size_t step = std::max<std::size_t>(reply.chunkSize, 1);
    for (std::size_t pos = 0; pos < reply.body.size(); pos += step) {
        std::string piece = reply.body.substr(pos, step);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        out += size + piece + "\r\n";
    }
    out += "0\r\n\r\n";
    conn.Write(out);
}

// Waits ms milliseconds; false when the server is being destroyed meanwhile.
bool RecordingServer::WaitOrStop(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}

void RecordingServer::Record(const RecordedRequest& request)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(request);
}

}  // namespace lanque::test
