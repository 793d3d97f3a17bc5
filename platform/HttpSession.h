#pragma once

#include <functional>
#include <memory>
#include <string>

class CHttpConnection;
class CRateLimit;

// How connections of a session treat TLS and their bandwidth.
struct HttpTransport
{
    // Check the server's certificate and host name against the system's store (or the file
    // SSL_CERT_FILE names, as for every OpenSSL program).
    bool bVerifyPeer = true;
    // The body bandwidth every request of the session draws from, none for no limit. The caller
    // keeps one for its whole run, so a session set up again after a failure keeps the account.
    std::shared_ptr<CRateLimit> pRateLimit;
    // Ask for compressed bodies (gzip, deflate, br, zstd as far as the client decodes them); the
    // body is handed out decoded.
    bool bCompressed = false;
};

// The HTTP client's session: the agent name every request carries. Proxies come from the
// environment (http_proxy, no_proxy), which is this system's proxy setting.
class CHttpSession
{
public:
    explicit CHttpSession(std::string strAgent);
    virtual ~CHttpSession();
    CHttpSession(const CHttpSession&) = delete;
    CHttpSession& operator=(const CHttpSession&) = delete;

    // A connection to one server and port. Empty user id and password send no credentials.
    // Throws CInternetException when the client cannot set one up.
    std::unique_ptr<CHttpConnection> GetHttpConnection(const std::string& strServer, unsigned nPort,
                                                       const std::string& strUser,
                                                       const std::string& strPassword,
                                                       const std::string& strScheme = "http");
    void SetTransport(const HttpTransport& transport) { m_transport = transport; }
    const HttpTransport& Transport() const { return m_transport; }

    const std::string& Agent() const { return m_strAgent; }
    // Asked whenever a request of this session's connections waits for the server; once it
    // answers true, the waiting request fails at once instead of waiting out the server.
    void SetCancel(std::function<bool()> cancel) { m_cancel = std::move(cancel); }

private:
    std::string m_strAgent;
    HttpTransport m_transport;
    std::function<bool()> m_cancel;
};
