#pragma once

#include <memory>
#include <string>

class CHttpConnection;

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
                                                       const std::string& strPassword);

    const std::string& Agent() const { return m_strAgent; }

private:
    std::string m_strAgent;
};
