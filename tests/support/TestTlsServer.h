#pragma once

#include "support/AcceptThread.h"
#include "support/TestCertificates.h"

#include <atomic>
#include <string>

// TLS on 127.0.0.1 (a free port) in front of a plain test server: each connection's handshake
// uses the given certificate, then its bytes go to and from `nPlainPort` unchanged, so the plain
// server's script and request log serve HTTPS tests too.
//
//     CTestHttpServer plain;
//     CTestTlsServer tls(certificates.Issue("good", {"IP:127.0.0.1"}), plain.Port());
//     ... fetch tls.Url("/a/index.html") ...
class CTestTlsServer
{
public:
    CTestTlsServer(const TestCertificate& certificate, unsigned nPlainPort);
    ~CTestTlsServer();
    CTestTlsServer(const CTestTlsServer&) = delete;
    CTestTlsServer& operator=(const CTestTlsServer&) = delete;

    unsigned Port() const { return m_nPort; }
    // "https://127.0.0.1:<port>" followed by `path`.
    std::string Url(const std::string& path = "") const;
    // Handshakes that failed, as the client gave up on the certificate.
    int FailedHandshakes() const { return m_nFailedHandshakes.load(); }
    // How a connection ends once the plain server has closed its side: with the TLS close_notify
    // (the default, an orderly end), or with a bare TCP close, as a cut connection looks.
    void SetCloseNotify(bool bSend) { m_bCloseNotify = bSend; }

private:
    void Relay(int clientFd);

    void* m_pContext = nullptr; // SSL_CTX
    unsigned m_nPlainPort;
    unsigned m_nPort = 0;
    std::atomic<int> m_nFailedHandshakes{0};
    std::atomic<bool> m_bCloseNotify{true};
    CAcceptThread m_accept;
};
