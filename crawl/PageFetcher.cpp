#include "crawl/PageFetcher.h"

#include "crawl/FetchSession.h"
#include "crawl/TearException.h"
#include "platform/EngineContext.h"
#include "platform/HttpConnection.h"
#include "platform/HttpRequest.h"
#include "platform/InternetException.h"
#include "platform/UrlParts.h"
#include "settings/RunSettings.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace
{

constexpr const char* kRequestHeaders = "Accept: */*\r\nUser-Agent: Mozilla/3.0 (Win95; I)\r\n";
constexpr size_t kMaxErrorText = 1023;

enum FileCheckMode : std::uint32_t
{
    kSkipExisting = 0,
    kByDateReplace = 1,
    kByDateRenameOld = 2,
};

// Leading decimal digits with an optional sign, as a length; 0 when there are none.
std::int64_t LeadingNumber(const std::string& strText)
{
    return std::strtoll(strText.c_str(), nullptr, 10);
}

} // namespace

CPageFetcher::CPageFetcher(IEngineContext& context, const RunSettings& settings)
    : m_context(context), m_bByDate(settings.nFileCheck != kSkipExisting),
      m_bRenameOld(settings.nFileCheck == kByDateRenameOld), m_bNoNameAsIndex(settings.nNoNameAsIndex != 0),
      m_bAllowHttps(settings.nAllowHttps != 0), m_nWaitMs(settings.nWaitMs), m_nLimitRate(settings.nLimitRate)
{
}

CPageFetcher::~CPageFetcher()
{
    CloseAll();
}

void CPageFetcher::ReportError()
{
    // A line the log refuses has been shown to the user already; the fetch fails either way.
    (void)m_context.WriteErrorLog(m_strLastError, false);
}

void CPageFetcher::Report(std::string strMessage)
{
    m_strLastError = std::move(strMessage);
    ReportError();
}

void CPageFetcher::ReportFailure(const CInternetException& e)
{
    Report("Error: (" + std::to_string(e.m_nErrorCode) + ") " +
           std::string(e.what()).substr(0, kMaxErrorText));
}

void CPageFetcher::ReportFailure(const CTearException& e)
{
    Report("Error: Exiting with CTearException(" + std::to_string(e.m_nCode) + ")");
}

template <typename Result, typename Body>
Result CPageFetcher::Guarded(Result failed, Body&& body)
{
    try
    {
        return body();
    }
    catch (const CInternetException& e)
    {
        ReportFailure(e);
    }
    return failed;
}

void CPageFetcher::SetStartDir(std::string strStartDir)
{
    m_strStartDir = std::move(strStartDir);
    // A run whose pages are all present locally never connects, yet its root-relative links must
    // resolve against the server.
    if (const std::optional<UrlParts> parts = UrlParts::Parse(m_strStartDir))
        m_strServerRoot = parts->ServerRoot();
}

void CPageFetcher::EnsureSession()
{
    if (m_pSession)
        return;
    m_pSession = std::make_unique<CFetchSession>(m_context.GetVersionText());
    HttpTransport transport;
    transport.bVerifyPeer = m_bCheckCertificates;
    transport.nMaxBytesPerSecond = m_nLimitRate;
    m_pSession->SetTransport(transport);
    // A server that keeps the transfer waiting must not hold up the program's tear-down.
    m_pSession->SetCancel([this] { return m_context.IsClosing(); });
}

bool CPageFetcher::EnsureConnection()
{
    if (m_pConnection)
        return true;
    return Guarded(false,
                   [this]
                   {
                       const std::optional<UrlParts> parts = UrlParts::Parse(m_strStartDir);
                       if (!parts || !SchemeAccepted(parts->scheme))
                       {
                           m_context.MessageBox("Error: can only use URLs beginning with http://",
                                                MsgButtons::Ok, MsgIcon::None, "Error");
                           ReportFailure(CTearException(CTearException::kNotHttp));
                           return false;
                       }
                       // The port stays in the server root, so cutting it off an address leaves the object
                       // path.
                       m_strServerRoot = parts->ServerRoot();
                       m_pConnection = m_pSession->GetHttpConnection(parts->host, parts->port, m_strUser,
                                                                     m_strPassword, parts->scheme);
                       return true;
                   });
}

GetResponse CPageFetcher::SendGet(std::string strObject)
{
    return Guarded(GetResponse{},
                   [&]
                   {
                       GetResponse response;
                       CloseRequest();
                       Pace();
                       m_pFile = m_pConnection->OpenRequest("GET", strObject, "HTTP/1.0");
                       m_pFile->AddRequestHeaders(kRequestHeaders, true);
                       m_pFile->SendRequest();

                       response.nStatus = m_pFile->QueryStatusCode();
                       if (response.nStatus == 401)
                       {
                           ReportFailure(CTearException(CTearException::kAccessDenied));
                           return response;
                       }
                       response.bOk = true;
                       if (response.nStatus == 404)
                       {
                           CloseRequest();
                           Report("Link not found: " + strObject);
                           response.bNotFound = true;
                           return response;
                       }
                       response.lastModified = m_pFile->QueryLastModified();
                       response.nLength = LeadingNumber(m_pFile->QueryHeader("Content-Length"));
                       response.strContentType = m_pFile->QueryHeader("Content-Type");
                       return response;
                   });
}

size_t CPageFetcher::ReadChunk(void* pBuffer, size_t nCount)
{
    m_bReadFailed = false;
    if (!m_pFile)
        return 0;
    size_t nRead = 0;
    m_bReadFailed = !Guarded(false,
                             [&]
                             {
                                 nRead = m_pFile->Read(pBuffer, nCount);
                                 return true;
                             });
    return nRead;
}

void CPageFetcher::CloseRequest()
{
    if (m_pFile)
    {
        m_pFile->Close();
        m_pFile.reset();
    }
}

void CPageFetcher::CloseConnection()
{
    CloseRequest();
    m_pConnection.reset();
}

void CPageFetcher::CloseAll()
{
    CloseConnection();
    m_pSession.reset();
}

bool CPageFetcher::SchemeAccepted(const std::string& strScheme) const
{
    return strScheme == "http" || (m_bAllowHttps && strScheme == "https");
}

void CPageFetcher::Pace()
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

bool CPageFetcher::FetchText(const std::string& strObject, size_t nMaxBytes, std::string& strText)
{
    strText.clear();
    const std::optional<UrlParts> parts = UrlParts::Parse(m_strStartDir);
    if (!parts || !SchemeAccepted(parts->scheme))
        return false;
    EnsureSession();
    if (!EnsureConnection())
        return false;
    try
    {
        CloseRequest();
        Pace();
        m_pFile = m_pConnection->OpenRequest("GET", strObject, "HTTP/1.0");
        m_pFile->AddRequestHeaders(kRequestHeaders, true);
        m_pFile->SendRequest();
        const long nStatus = m_pFile->QueryStatusCode();
        if (nStatus < 200 || nStatus > 299)
        {
            CloseRequest();
            return false;
        }
        char buffer[4096];
        while (strText.size() < nMaxBytes)
        {
            const size_t nGot = m_pFile->Read(buffer, std::min(sizeof buffer, nMaxBytes - strText.size()));
            if (nGot == 0)
                break;
            strText.append(buffer, nGot);
        }
        CloseRequest();
        return true;
    }
    catch (const CInternetException&)
    {
        // Unreadable counts as missing; the next fetch starts afresh and reports its own failure.
        CloseAll();
        strText.clear();
        return false;
    }
}

bool CPageFetcher::ProbeDirectory()
{
    m_strUrl += '/';
    EnsureSession();
    if (!EnsureConnection())
        return false;

    const GetResponse response = SendGet(m_strUrl.substr(std::min(m_strServerRoot.size(), m_strUrl.size())));
    if (!response.bOk)
        return false;
    CloseRequest();
    return !response.bNotFound;
}
