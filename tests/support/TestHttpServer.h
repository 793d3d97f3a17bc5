#pragma once

#include "support/AcceptThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A request as the test server received it.
struct TestRequest
{
    std::string method;
    std::string target; // as sent: path and query
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;

    // The first header of that name (case ignored), empty when absent.
    std::string Header(const std::string& name) const;
};

// What the test server answers. The connection closes after the answer unless the server keeps
// connections (CTestHttpServer::SetKeepAlive) and the answer is whole.
struct TestResponse
{
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers; // sent as given, in order
    std::string body;
    // Content-Length sent: the body's size by default. A larger value with a shorter body is a
    // body cut off after body.size() bytes; bNoLength sends none at all.
    std::optional<std::uint64_t> contentLength;
    bool bNoLength = false;
    // A slow body: `blockBytes` at a time with a pause before each block after the first.
    std::chrono::milliseconds blockDelay{0};
    size_t blockBytes = 256;
    // "user:password": anything else gets 401 with a Basic challenge.
    std::string requireBasic;
    // After the body, the connection is reset instead of closed in order.
    bool bReset = false;
    // Called once the first block of the body is out, before the rest is sent: a test can hold
    // the transfer half-way until it has seen what it needs.
    std::function<void()> afterFirstBlock;

    static TestResponse Ok(std::string body, std::string contentType = "text/html");
    static TestResponse Redirect(int status, std::string location);
};

// How the test server treats a request that asks for "Connection: keep-alive".
enum class KeepAlive
{
    Never,          // every answer says "Connection: close" and closes (the default)
    WhileAsked,     // agrees, answers "Connection: keep-alive" and reads the next request
    DropWhenIdle,   // agrees, then closes the connection as soon as the answer is out
    DropWhenReused, // agrees, but closes a kept connection unanswered when its next request comes
};

// Which loopback address the test server listens on.
enum class Loopback
{
    V4, // 127.0.0.1
    V6, // ::1
};

// An HTTP server on 127.0.0.1 or ::1 (a free port) for one test, scripted per target and recording
// every request in arrival order. Unscripted targets answer 404. One thread per connection; the
// destructor stops and joins them all.
//
//     CTestHttpServer server;
//     server.Serve("/a/index.html", TestResponse::Ok("<a href=\"b.html\">"));
//     ... fetch server.Url("/a/index.html") ...
//     EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/index.html", ...}));
class CTestHttpServer
{
public:
    using Handler = std::function<TestResponse(const TestRequest&)>;

    explicit CTestHttpServer(Loopback loopback = Loopback::V4);
    ~CTestHttpServer();
    CTestHttpServer(const CTestHttpServer&) = delete;
    CTestHttpServer& operator=(const CTestHttpServer&) = delete;

    unsigned Port() const { return m_nPort; }
    // "http://127.0.0.1:<port>" (or "http://[::1]:<port>") followed by `path`.
    std::string Url(const std::string& path = "") const;

    // Scripts an exact target; a later call replaces an earlier one.
    void Serve(const std::string& target, TestResponse response);
    void Serve(const std::string& target, Handler handler);

    void SetKeepAlive(KeepAlive mode) { m_keepAlive = mode; }
    // Connections accepted so far.
    size_t Connections() const { return m_accept.Accepted(); }

    // Targets of every request so far, in arrival order (a request dropped unanswered included).
    std::vector<std::string> Targets() const;
    std::vector<TestRequest> Requests() const;
    size_t CountOf(const std::string& target) const;
    void ClearLog();
    // Waits until `target` has been requested `count` times in all; false on time-out.
    bool WaitForRequest(const std::string& target, size_t count = 1,
                        std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    void HandleConnection(int fd);
    // The next request's head; false when the connection ended or the server stops first.
    bool ReadHead(int fd, std::string& pending, std::string& head);
    TestResponse Answer(const TestRequest& request);
    // Whether the connection stays open after this answer.
    bool KeepsOpen(const TestRequest& request, const TestResponse& response) const;
    bool SendResponse(int fd, const TestRequest& request, const TestResponse& response, bool bKeep);
    bool SendAll(int fd, const char* data, size_t size);

    Loopback m_loopback;
    unsigned m_nPort = 0;
    std::atomic<KeepAlive> m_keepAlive{KeepAlive::Never};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestArrived;
    std::map<std::string, Handler> m_routes;
    std::vector<TestRequest> m_requests;
    // Last: its threads use everything above, and it is stopped before they go.
    CAcceptThread m_accept;
};
