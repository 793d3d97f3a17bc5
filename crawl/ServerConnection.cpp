#include "crawl/ServerConnection.h"

#include "crawl/FetchSession.h"
#include "crawl/TearException.h"
#include "platform/EngineContext.h"
#include "platform/HttpConnection.h"
#include "platform/HttpRequest.h"
#include "platform/InternetException.h"
#include "platform/RateLimit.h"
#include "platform/UrlParts.h"
#include "settings/RunSettings.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace
{

constexpr const char* kRequestHeaders = "Accept: */*\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\n";
constexpr size_t kMaxErrorText = 1023;
// The unit of counting, rate and the closing check.
constexpr size_t kBlockBytes = 256;

std::string FailureLine(const CInternetException& e)
{
    return "Error: (" + std::to_string(e.m_nErrorCode) + ") " +
           std::string(e.what()).substr(0, kMaxErrorText);
}

// Leading decimal digits with an optional sign, as a length; 0 when there are none.
std::int64_t LeadingNumber(const std::string& strText)
{
    return std::strtoll(strText.c_str(), nullptr, 10);
}

} // namespace

CServerConnection::CServerConnection(IEngineContext& context, const RunSettings& settings,
                                     std::shared_ptr<CRateLimit> pRateLimit)
    : m_context(context), m_bAllowHttps(settings.nAllowHttps != 0), m_bCompressed(settings.nCompressed != 0),
      m_nWaitMs(settings.nWaitMs), m_pRateLimit(std::move(pRateLimit))
{
    if (!m_pRateLimit && settings.nLimitRate > 0)
        m_pRateLimit = std::make_shared<CRateLimit>(settings.nLimitRate);
}

CServerConnection::~CServerConnection()
{
    Close();
}

bool CServerConnection::Serves(const std::string& strAddress) const
{
    const std::optional<UrlParts> parts = UrlParts::Parse(strAddress);
    return parts && (parts->scheme == "http" || (m_bAllowHttps && parts->scheme == "https"));
}

void CServerConnection::OpenSession()
{
    if (m_pSession)
        return;
    m_pSession = std::make_unique<CFetchSession>(m_context.GetVersionText());
    HttpTransport transport;
    transport.bVerifyPeer = m_bCheckCertificates;
    transport.pRateLimit = m_pRateLimit;
    transport.bCompressed = m_bCompressed;
    m_pSession->SetTransport(transport);
    // A server that keeps the transfer waiting must not hold up the program's tear-down.
    m_pSession->SetCancel([this] { return m_context.IsClosing(); });
}

CServerConnection::ConnectOutcome CServerConnection::Connect(const std::string& strStartDir,
                                                             const std::string& strUser,
                                                             const std::string& strPassword)
{
    ConnectOutcome outcome;
    const std::optional<UrlParts> parts = UrlParts::Parse(strStartDir);
    if (!parts || !Serves(strStartDir))
    {
        outcome.bNotHttp = true;
        outcome.strError = TearLogLine(CTearException::kNotHttp);
        return outcome;
    }
    outcome.strServerRoot = parts->ServerRoot();
    try
    {
        OpenSession();
        if (!m_pConnection)
            m_pConnection =
                m_pSession->GetHttpConnection(parts->host, parts->port, strUser, strPassword, parts->scheme);
        outcome.bOk = true;
    }
    catch (const CInternetException& e)
    {
        outcome.strError = FailureLine(e);
    }
    return outcome;
}

void CServerConnection::Open(const std::string& strObject, const std::string& strConditions)
{
    CloseRequest();
    // Servers compress only for HTTP/1.1 requests as a rule.
    m_pFile = m_pConnection->OpenRequest("GET", strObject, m_bCompressed ? "HTTP/1.1" : "HTTP/1.0");
    m_pFile->AddRequestHeaders(kRequestHeaders, true);
    if (!strConditions.empty())
        m_pFile->AddRequestHeaders(strConditions, true);
}

void CServerConnection::Send(const std::string& strObject, const std::string& strConditions)
{
    CloseRequest();
    Pace();
    Open(strObject, strConditions);
    m_pFile->SendRequest();
}

GetResponse CServerConnection::Get(const std::string& strObject, const std::string& strConditions)
{
    try
    {
        Send(strObject, strConditions);
    }
    catch (const CInternetException& e)
    {
        GetResponse response;
        response.strError = FailureLine(e);
        return response;
    }
    return ReadResponse();
}

std::string CServerConnection::Begin(const std::string& strObject, const std::string& strConditions)
{
    try
    {
        m_bRequested = true;
        Open(strObject, strConditions);
        m_pFile->Begin();
        return {};
    }
    catch (const CInternetException& e)
    {
        return FailureLine(e);
    }
}

bool CServerConnection::Step()
{
    if (!m_pFile)
        return true;
    try
    {
        m_pFile->Step();
    }
    catch (const CInternetException&)
    {
        // Whatever failed is named when the headers are read, as Get names it.
        return true;
    }
    return m_pFile->HeadersDone();
}

GetResponse CServerConnection::Response()
{
    if (m_pFile && !m_pFile->HeadersDone())
        return {};
    try
    {
        if (m_pFile)
            m_pFile->RequireHeaders();
    }
    catch (const CInternetException& e)
    {
        GetResponse response;
        response.strError = FailureLine(e);
        return response;
    }
    return ReadResponse();
}

CServerConnection::ReadyOutcome CServerConnection::ReceiveReady(const BlockSink& sink)
{
    char block[kBlockBytes];
    while (m_pFile)
    {
        size_t nRead = 0;
        try
        {
            nRead = m_pFile->ReadReady(block, sizeof block);
        }
        catch (const CInternetException& e)
        {
            return {true, {BodyEnd::Cut, FailureLine(e), m_pFile->QueryWireBytes()}};
        }
        if (nRead == 0)
            return {m_pFile->Ended(), {BodyEnd::Whole, {}, m_pFile->QueryWireBytes()}};
        if (!sink(block, nRead))
            return {true, {BodyEnd::SinkStopped, {}, 0}};
    }
    return {true, {}};
}

int CServerConnection::AddWaitSet(fd_set& read, fd_set& write, fd_set& except, int& nMaxFd) const
{
    return m_pFile ? m_pFile->AddWaitSet(read, write, except, nMaxFd) : 0;
}

GetResponse CServerConnection::ReadResponse()
{
    GetResponse response;
    try
    {
        response.nStatus = m_pFile->QueryStatusCode();
        if (response.nStatus == 401)
        {
            response.strError = TearLogLine(CTearException::kAccessDenied);
            return response;
        }
        response.bOk = true;
        if (response.nStatus == 404)
        {
            CloseRequest();
            response.bNotFound = true;
            return response;
        }
        if (response.nStatus == 429 || response.nStatus == 503)
            response.strRetryAfter = m_pFile->QueryHeader("Retry-After");
        response.lastModified = m_pFile->QueryLastModified();
        response.nLength = LeadingNumber(m_pFile->QueryHeader("Content-Length"));
        response.strContentType = m_pFile->QueryHeader("Content-Type");
        response.strETag = m_pFile->QueryHeader("ETag");
        response.strLastModified = m_pFile->QueryHeader("Last-Modified");
        response.strContentRange = m_pFile->QueryHeader("Content-Range");
        // A 304 never has a body: its exchange is complete, and closing it keeps the connection.
        if (response.nStatus == 304)
            CloseRequest();
    }
    catch (const CInternetException& e)
    {
        response.bOk = false;
        response.strError = FailureLine(e);
    }
    return response;
}

CServerConnection::BodyOutcome CServerConnection::ReceiveBody(const BlockSink& sink)
{
    char block[kBlockBytes];
    while (m_pFile)
    {
        size_t nRead = 0;
        try
        {
            nRead = m_pFile->Read(block, sizeof block);
        }
        catch (const CInternetException& e)
        {
            return {BodyEnd::Cut, FailureLine(e), m_pFile->QueryWireBytes()};
        }
        if (nRead == 0)
            break;
        if (!sink(block, nRead))
            return {BodyEnd::SinkStopped, {}};
        if (m_context.IsClosing())
            return {BodyEnd::Cut, {}};
    }
    return {BodyEnd::Whole, {}, m_pFile ? m_pFile->QueryWireBytes() : 0};
}

TextAnswer CServerConnection::ReadText(const std::string& strObject, size_t nMaxBytes)
{
    TextAnswer answer;
    try
    {
        Send(strObject, {});
        const long nStatus = m_pFile->QueryStatusCode();
        if (nStatus < 200 || nStatus > 299)
        {
            CloseRequest();
            // A server error says nothing about the file; any other answer says there is none.
            if (nStatus < 500 || nStatus > 599)
                answer.kind = TextAnswer::Kind::Absent;
            answer.strReason = "the server answered " + std::to_string(nStatus);
            return answer;
        }
        char buffer[4096];
        while (answer.strText.size() < nMaxBytes)
        {
            const size_t nGot =
                m_pFile->Read(buffer, std::min(sizeof buffer, nMaxBytes - answer.strText.size()));
            if (nGot == 0)
                break;
            answer.strText.append(buffer, nGot);
        }
        CloseRequest();
        answer.kind = TextAnswer::Kind::Read;
        return answer;
    }
    catch (const CInternetException& e)
    {
        // A body cut short is no file to go by. The next fetch starts afresh and reports its own
        // failure.
        Close();
        answer.strText.clear();
        answer.strReason = FailureLine(e);
        return answer;
    }
}

void CServerConnection::CloseRequest()
{
    if (m_pFile)
    {
        m_pFile->Close();
        m_pFile.reset();
    }
}

void CServerConnection::Close()
{
    CloseRequest();
    m_pConnection.reset();
    m_pSession.reset();
}

void CServerConnection::Pace()
{
    const bool bFirst = !m_bRequested;
    m_bRequested = true;
    if (bFirst || m_nWaitMs == 0)
        return;
    // In short steps, so that a stop or the program's end is not kept waiting for the pause.
    constexpr std::chrono::milliseconds kStep(50);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_nWaitMs);
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now())
    {
        if ((m_pStop != nullptr && m_pStop->load()) || m_context.IsClosing())
            return;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kStep, end - now));
    }
}
