#include "support/TestHttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr int kPollMilliseconds = 20;

std::string ReasonPhrase(int status)
{
    switch (status)
    {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

std::string Base64(const std::string& text)
{
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < text.size(); i += 3)
    {
        const unsigned n = (static_cast<unsigned char>(text[i]) << 16) |
                           (static_cast<unsigned char>(text[i + 1]) << 8) |
                           static_cast<unsigned char>(text[i + 2]);
        out += {kDigits[(n >> 18) & 63], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63], kDigits[n & 63]};
    }
    if (i + 1 == text.size())
    {
        const unsigned n = static_cast<unsigned char>(text[i]) << 16;
        out += {kDigits[(n >> 18) & 63], kDigits[(n >> 12) & 63], '=', '='};
    }
    else if (i + 2 == text.size())
    {
        const unsigned n =
            (static_cast<unsigned char>(text[i]) << 16) | (static_cast<unsigned char>(text[i + 1]) << 8);
        out += {kDigits[(n >> 18) & 63], kDigits[(n >> 12) & 63], kDigits[(n >> 6) & 63], '='};
    }
    return out;
}

bool HasHeader(const TestResponse& response, const char* name)
{
    for (const auto& header : response.headers)
    {
        if (strcasecmp(header.first.c_str(), name) == 0)
            return true;
    }
    return false;
}

std::optional<TestRequest> ParseRequest(const std::string& head)
{
    TestRequest request;
    size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const size_t firstSpace = requestLine.find(' ');
    const size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos)
        return std::nullopt;
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    request.version = requestLine.substr(secondSpace + 1);

    while (lineEnd != std::string::npos && lineEnd + 2 < head.size())
    {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line =
            head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        size_t valueStart = colon + 1;
        while (valueStart < line.size() && line[valueStart] == ' ')
            ++valueStart;
        request.headers.emplace_back(line.substr(0, colon), line.substr(valueStart));
    }
    return request;
}

} // namespace

std::string TestRequest::Header(const std::string& name) const
{
    for (const auto& header : headers)
    {
        if (strcasecmp(header.first.c_str(), name.c_str()) == 0)
            return header.second;
    }
    return {};
}

TestResponse TestResponse::Ok(std::string body, std::string contentType)
{
    TestResponse response;
    response.body = std::move(body);
    if (!contentType.empty())
        response.headers.emplace_back("Content-Type", std::move(contentType));
    return response;
}

TestResponse TestResponse::Redirect(int status, std::string location)
{
    TestResponse response;
    response.status = status;
    response.headers.emplace_back("Location", std::move(location));
    response.body = "moved";
    return response;
}

CTestHttpServer::CTestHttpServer(Loopback loopback) : m_loopback(loopback)
{
    const bool bV6 = loopback == Loopback::V6;
    const int listenFd = ::socket(bV6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0)
        throw std::runtime_error("test server: no socket");
    const int one = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage address{};
    socklen_t length = 0;
    if (bV6)
    {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_loopback;
        length = sizeof v6;
    }
    else
    {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof v4;
    }
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listenFd, 16) != 0 ||
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(listenFd);
        throw std::runtime_error("test server: cannot listen on the loopback address");
    }
    m_nPort = ntohs(bV6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                        : reinterpret_cast<sockaddr_in&>(address).sin_port);
    m_accept.Start(listenFd, [this](int fd) { HandleConnection(fd); });
}

CTestHttpServer::~CTestHttpServer()
{
    // The connections' threads read the routes and the log: they end before those go.
    m_accept.Stop();
}

std::string CTestHttpServer::Url(const std::string& path) const
{
    const char* host = m_loopback == Loopback::V6 ? "[::1]" : "127.0.0.1";
    return "http://" + std::string(host) + ":" + std::to_string(m_nPort) + path;
}

void CTestHttpServer::Serve(const std::string& target, TestResponse response)
{
    Serve(target, [response](const TestRequest&) { return response; });
}

void CTestHttpServer::Serve(const std::string& target, Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_routes[target] = std::move(handler);
}

std::vector<std::string> CTestHttpServer::Targets() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> targets;
    for (const TestRequest& request : m_requests)
        targets.push_back(request.target);
    return targets;
}

std::vector<TestRequest> CTestHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t CTestHttpServer::CountOf(const std::string& target) const
{
    std::lock_guard lock(m_mutex);
    size_t count = 0;
    for (const TestRequest& request : m_requests)
        count += request.target == target ? 1 : 0;
    return count;
}

void CTestHttpServer::ClearLog()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

bool CTestHttpServer::WaitForRequest(const std::string& target, size_t count,
                                     std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_requestArrived.wait_for(lock, timeout,
                                     [&]
                                     {
                                         size_t seen = 0;
                                         for (const TestRequest& request : m_requests)
                                             seen += request.target == target ? 1 : 0;
                                         return seen >= count;
                                     });
}

void CTestHttpServer::HandleConnection(int fd)
{
    std::string pending;
    std::string head;
    for (bool bReused = false; ReadHead(fd, pending, head); bReused = true)
    {
        const std::optional<TestRequest> request = ParseRequest(head);
        if (!request)
            break;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(*request);
        }
        m_requestArrived.notify_all();
        if (bReused && m_keepAlive == KeepAlive::DropWhenReused)
            break;
        const TestResponse response = Answer(*request);
        const bool bKeep = KeepsOpen(*request, response);
        const bool bSent = SendResponse(fd, *request, response, bKeep);
        if (response.bReset)
        {
            // Closing with a zero linger time sends a reset instead of the orderly end.
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(fd);
            return;
        }
        if (!bSent || !bKeep || m_keepAlive == KeepAlive::DropWhenIdle)
            break;
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

bool CTestHttpServer::ReadHead(int fd, std::string& pending, std::string& head)
{
    char buffer[4096];
    size_t end = pending.find("\r\n\r\n");
    while (!m_accept.Stopping() && end == std::string::npos)
    {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, kPollMilliseconds) <= 0)
            continue;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        pending.append(buffer, static_cast<size_t>(got));
        end = pending.find("\r\n\r\n");
    }
    if (end == std::string::npos)
        return false;
    head = pending.substr(0, end + 4);
    pending.erase(0, end + 4);
    return true;
}

bool CTestHttpServer::KeepsOpen(const TestRequest& request, const TestResponse& response) const
{
    // Only a whole body of a known length leaves the connection fit for the next request.
    const bool bWhole = !response.bNoLength && !response.bReset && response.blockDelay.count() == 0 &&
                        response.contentLength.value_or(response.body.size()) == response.body.size() &&
                        !HasHeader(response, "Content-Length");
    return m_keepAlive != KeepAlive::Never && bWhole &&
           strcasecmp(request.Header("Connection").c_str(), "keep-alive") == 0;
}

TestResponse CTestHttpServer::Answer(const TestRequest& request)
{
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        const auto route = m_routes.find(request.target);
        if (route != m_routes.end())
            handler = route->second;
    }
    if (!handler)
    {
        TestResponse missing;
        missing.status = 404;
        missing.body = "<html>not found</html>";
        return missing;
    }

    TestResponse response = handler(request);
    if (!response.requireBasic.empty() &&
        request.Header("Authorization") != "Basic " + Base64(response.requireBasic))
    {
        TestResponse denied;
        denied.status = 401;
        denied.headers.emplace_back("WWW-Authenticate", "Basic realm=\"test\"");
        denied.body = "denied";
        return denied;
    }
    return response;
}

bool CTestHttpServer::SendResponse(int fd, const TestRequest& request, const TestResponse& response,
                                   bool bKeep)
{
    std::string head = (request.version == "HTTP/1.1" ? "HTTP/1.1 " : "HTTP/1.0 ") +
                       std::to_string(response.status) + " " + ReasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers)
        head += name + ": " + value + "\r\n";
    if (!response.bNoLength && !HasHeader(response, "Content-Length"))
        head += "Content-Length: " + std::to_string(response.contentLength.value_or(response.body.size())) +
                "\r\n";
    head += bKeep ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (!SendAll(fd, head.data(), head.size()))
        return false;

    const size_t block = response.blockDelay.count() > 0 || response.afterFirstBlock
                             ? std::max<size_t>(response.blockBytes, 1)
                             : response.body.size();
    for (size_t sent = 0; sent < response.body.size() && !m_accept.Stopping(); sent += block)
    {
        if (sent > 0)
            std::this_thread::sleep_for(response.blockDelay);
        if (!SendAll(fd, response.body.data() + sent, std::min(block, response.body.size() - sent)))
            return false;
        if (sent == 0 && response.afterFirstBlock)
            response.afterFirstBlock();
    }
    return true;
}

bool CTestHttpServer::SendAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}
