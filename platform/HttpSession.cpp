#include "platform/HttpSession.h"

#include "platform/HttpConnection.h"

CHttpSession::CHttpSession(std::string strAgent) : m_strAgent(std::move(strAgent)) {}

CHttpSession::~CHttpSession() = default;

std::unique_ptr<CHttpConnection> CHttpSession::GetHttpConnection(const std::string& strServer, unsigned nPort,
                                                                 const std::string& strUser,
                                                                 const std::string& strPassword,
                                                                 const std::string& strScheme)
{
    auto pConnection = std::make_unique<CHttpConnection>(m_strAgent, strServer, nPort, strUser, strPassword,
                                                         strScheme, m_transport);
    pConnection->SetCancel(m_cancel);
    return pConnection;
}
