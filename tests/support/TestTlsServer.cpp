#include "support/TestTlsServer.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr int kPollMilliseconds = 20;

int Listen(unsigned& nPort)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("test TLS server: no socket");
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(fd);
        throw std::runtime_error("test TLS server: cannot listen on 127.0.0.1");
    }
    nPort = ntohs(address.sin_port);
    return fd;
}

int ConnectLoopback(unsigned nPort)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

} // namespace

CTestTlsServer::CTestTlsServer(const TestCertificate& certificate, unsigned nPlainPort)
    : m_nPlainPort(nPlainPort)
{
    // OpenSSL writes to its sockets without MSG_NOSIGNAL: a client that hangs up after refusing
    // the certificate must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    SSL_CTX* pContext = SSL_CTX_new(TLS_server_method());
    if (pContext == nullptr ||
        SSL_CTX_use_certificate_chain_file(pContext, certificate.certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(pContext, certificate.keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
    {
        SSL_CTX_free(pContext);
        throw std::runtime_error("test TLS server: cannot load " + certificate.certFile);
    }
    m_pContext = pContext;
    const int listenFd = Listen(m_nPort);
    m_accept.Start(listenFd, [this](int fd) { Relay(fd); });
}

CTestTlsServer::~CTestTlsServer()
{
    m_accept.Stop();
    SSL_CTX_free(static_cast<SSL_CTX*>(m_pContext));
}

std::string CTestTlsServer::Url(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(m_nPort) + path;
}

void CTestTlsServer::Relay(int clientFd)
{
    SSL* pSsl = SSL_new(static_cast<SSL_CTX*>(m_pContext));
    SSL_set_fd(pSsl, clientFd);
    if (SSL_accept(pSsl) != 1)
    {
        ++m_nFailedHandshakes;
        ERR_clear_error();
        SSL_free(pSsl);
        ::close(clientFd);
        return;
    }
    const int plainFd = ConnectLoopback(m_nPlainPort);
    char buffer[16 * 1024];
    bool bClientOpen = true;
    while (plainFd >= 0 && !m_accept.Stopping())
    {
        // Bytes the TLS layer already holds do not show on the socket.
        if (bClientOpen && SSL_pending(pSsl) == 0)
        {
            pollfd ready[2] = {{clientFd, POLLIN, 0}, {plainFd, POLLIN, 0}};
            if (::poll(ready, 2, kPollMilliseconds) <= 0)
                continue;
            if (ready[1].revents != 0)
            {
                const ssize_t got = ::recv(plainFd, buffer, sizeof buffer, 0);
                if (got <= 0 || SSL_write(pSsl, buffer, static_cast<int>(got)) <= 0)
                    break;
                continue;
            }
            if (ready[0].revents == 0)
                continue;
        }
        else if (!bClientOpen)
        {
            pollfd ready{plainFd, POLLIN, 0};
            if (::poll(&ready, 1, kPollMilliseconds) <= 0)
                continue;
            const ssize_t got = ::recv(plainFd, buffer, sizeof buffer, 0);
            if (got <= 0 || SSL_write(pSsl, buffer, static_cast<int>(got)) <= 0)
                break;
            continue;
        }
        const int got = SSL_read(pSsl, buffer, sizeof buffer);
        if (got <= 0)
        {
            // The client is done sending; the answer may still be on its way.
            bClientOpen = false;
            ::shutdown(plainFd, SHUT_WR);
            continue;
        }
        if (!SendAll(plainFd, buffer, static_cast<size_t>(got)))
            break;
    }
    if (m_bCloseNotify)
        SSL_shutdown(pSsl);
    SSL_free(pSsl);
    ERR_clear_error();
    if (plainFd >= 0)
        ::close(plainFd);
    ::close(clientFd);
}
