#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A loopback HTTP server on raw sockets for the request-function tests.
//
// It records every request exactly as it arrived (request line, header lines in order, body) and answers
// with scripted replies. It also acts as a forward proxy: a request in absolute form
// ("GET http://host/x HTTP/1.1") is recorded and answered like any other, and a "CONNECT host:port"
// request is recorded, answered "200 Connection established", and the tunnel is then served as a TLS
// server with a self-signed certificate (generated once per process), so the tunnelled request is
// recorded too. In TLS mode the server speaks TLS from the first byte (an "https://" origin).
//
// Everything is bounded: each socket read gives up after a few seconds, a scripted delay ends early when
// the server is destroyed, and the destructor closes every open connection and waits for its threads.
namespace lanque::test {

struct RecordedRequest {
    std::string method;                    // "GET", "POST", "CONNECT", ...
    std::string target;                    // "/x?y=1", "http://host/x", "host:443"
    std::string version;                   // "HTTP/1.1"
    std::vector<std::string> headerLines;  // "Name: value" exactly as sent, in order
    std::string body;
    std::string head;         // the request line and the header lines, each with its "\r\n", up to the empty line
    bool tunnelled = false;   // arrived inside a CONNECT tunnel
    bool tls = false;         // arrived over TLS

    // Value of the first header with this name (ASCII case ignored), blanks after the colon skipped;
    // empty when there is none.
    std::string Header(std::string_view name) const;
    bool HasHeader(std::string_view name) const;
    // Header lines without the ones named here (ASCII case ignored), e.g. {"Host", "Content-Length"}.
    std::vector<std::string> LinesWithout(const std::vector<std::string>& names) const;
};

struct ScriptedReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::string> headers;  // extra lines "Name: value", sent in this order
    std::string body;
    bool chunked = false;              // send the body in chunks of chunkSize bytes
    std::size_t chunkSize = 7;
    int delayMs = 0;                   // wait this long before sending anything (a slow server)
    bool closeMidBody = false;         // announce the whole body, send half of it, then close
    bool closeWithoutReply = false;    // read the request, then close without a byte of reply
    std::string raw;                   // when not empty: sent verbatim instead of the fields above
    bool closeAfter = false;           // close the connection after this reply

    static ScriptedReply Ok(std::string body);
    static ScriptedReply Redirect(int status, std::string location);
};

class RecordingServer {
public:
    using Handler = std::function<ScriptedReply(const RecordedRequest&)>;

    // tls: speak TLS from the first byte. Listens on 127.0.0.1, on a free port.
    explicit RecordingServer(bool tls = false);
    ~RecordingServer();
    RecordingServer(const RecordingServer&) = delete;
    RecordingServer& operator=(const RecordingServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" (or "https://..." in TLS mode)
    std::string BaseUrl() const;
    // "127.0.0.1:PORT", as a proxy setting
    std::string HostPort() const;

    // Replies are served in the order queued; when the queue is empty the handler answers, and without a
    // handler a "200 OK" with the body "ok". CONNECT requests take no reply from here.
    void Queue(ScriptedReply reply);
    void SetHandler(Handler handler);

    // Every request received so far (CONNECT requests included), in order of arrival.
    std::vector<RecordedRequest> Requests() const;
    std::size_t RequestCount() const;
    // The last request that was not a CONNECT; an empty request when there is none.
    RecordedRequest LastRequest() const;
    void Clear();

private:
    struct Connection;
    void AcceptLoop();
    void Serve(int fd);
    bool ServeOne(Connection& conn, bool tunnelled);
    ScriptedReply NextReply(const RecordedRequest& request);
    void SendReply(Connection& conn, const RecordedRequest& request, const ScriptedReply& reply);
    bool WaitOrStop(int ms);
    void Record(const RecordedRequest& request);

    bool m_tls;
    int m_listenFd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<RecordedRequest> m_requests;
    std::vector<ScriptedReply> m_queue;
    Handler m_handler;
    std::set<int> m_openFds;
    int m_activeConnections = 0;
};

}  // namespace lanque::test
