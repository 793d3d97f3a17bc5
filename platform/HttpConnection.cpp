#include "platform/HttpConnection.h"

#include "platform/HttpRequest.h"
#include "platform/HttpSession.h"
#include "platform/InternetException.h"
#include "platform/RateLimit.h"
#include "platform/UrlParts.h"

#include <cstdlib>
#include <openssl/ssl.h>

namespace
{

constexpr long kMaxRedirects = 10;
constexpr long kConnectTimeoutSeconds = 60;
// A server that sends nothing for this long has dropped the transfer. A transfer the reader has
// paused is not judged, so a slow disk never counts against the server.
constexpr long kStallSeconds = 60;
constexpr long kReceiveBufferBytes = 64L * 1024;

void Require(CURLcode code)
{
    if (code != CURLE_OK)
        throw CInternetException(static_cast<unsigned long>(code), curl_easy_strerror(code));
}

// The slot of a TLS context that names the flag its alert callback sets. Taken once for the
// process, as OpenSSL hands slots out for good.
int CloseNotifySlot()
{
    static const int nSlot = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return nSlot;
}

void OnTlsInfo(const SSL* pSsl, int nWhere, int nAlert)
{
    // An alert's low byte is its description; close_notify is the server's orderly end. The
    // client's own close_notify, written as it drops the connection, does not count.
    if ((nWhere & SSL_CB_READ_ALERT) != SSL_CB_READ_ALERT || (nAlert & 0xff) != SSL_AD_CLOSE_NOTIFY)
        return;
    if (auto* pFlag = static_cast<bool*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(pSsl), CloseNotifySlot())))
        *pFlag = true;
}

// The encodings asked for: only those the client can decode, as a body it cannot decode would fail.
std::string AcceptedEncodings()
{
    const curl_version_info_data* pInfo = curl_version_info(CURLVERSION_NOW);
    const int nFeatures = pInfo != nullptr ? pInfo->features : 0;
    std::string strList;
    const auto add = [&](bool bDecodes, const char* pName)
    {
        if (!bDecodes)
            return;
        if (!strList.empty())
            strList += ", ";
        strList += pName;
    };
    add((nFeatures & CURL_VERSION_LIBZ) != 0, "gzip");
    add((nFeatures & CURL_VERSION_LIBZ) != 0, "deflate");
    add((nFeatures & CURL_VERSION_BROTLI) != 0, "br");
    add((nFeatures & CURL_VERSION_ZSTD) != 0, "zstd");
    return strList.empty() ? "identity" : strList;
}

} // namespace

CHttpConnection::CHttpConnection(const std::string& strAgent, const std::string& strServer, unsigned nPort,
                                 const std::string& strUser, const std::string& strPassword,
                                 const std::string& strScheme, const HttpTransport& transport)
    : m_strServerRoot(strScheme + "://" + strServer + ":" + std::to_string(nPort)),
      m_bHasAgent(!strAgent.empty())
{
    m_pEasy = curl_easy_init();
    m_pMulti = curl_multi_init();
    if (m_pEasy == nullptr || m_pMulti == nullptr)
    {
        ReleaseHandles();
        throw CInternetException(CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT));
    }

    try
    {
        Require(curl_easy_setopt(m_pEasy, CURLOPT_NOSIGNAL, 1L));
        if (m_bHasAgent)
            Require(curl_easy_setopt(m_pEasy, CURLOPT_USERAGENT, strAgent.c_str()));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_FOLLOWLOCATION, 1L));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_MAXREDIRS, kMaxRedirects));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
        // Credentials go to the server they were given for, never to a host a redirect names.
        Require(curl_easy_setopt(m_pEasy, CURLOPT_UNRESTRICTED_AUTH, 0L));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_LOW_SPEED_LIMIT, 1L));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_LOW_SPEED_TIME, kStallSeconds));
        Require(curl_easy_setopt(m_pEasy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes));
        ApplyTransport(transport);
        WatchTlsClose();
        if (!strUser.empty() || !strPassword.empty())
        {
            Require(curl_easy_setopt(m_pEasy, CURLOPT_USERNAME, strUser.c_str()));
            Require(curl_easy_setopt(m_pEasy, CURLOPT_PASSWORD, strPassword.c_str()));
            Require(curl_easy_setopt(m_pEasy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC | CURLAUTH_DIGEST));
        }
    }
    catch (...)
    {
        ReleaseHandles();
        throw;
    }
}

CHttpConnection::~CHttpConnection()
{
    ReleaseHandles();
}

void CHttpConnection::ApplyTransport(const HttpTransport& transport)
{
    // libcurl's own default is the store Debian's ca-certificates keeps; SSL_CERT_FILE and
    // SSL_CERT_DIR name another one, as they do for wget and every other OpenSSL program.
    // The program never changes its environment, so reading it from the worker is safe.
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    if (const char* pFile = std::getenv("SSL_CERT_FILE"); pFile != nullptr && *pFile != '\0')
        Require(curl_easy_setopt(m_pEasy, CURLOPT_CAINFO, pFile));
    // NOLINTNEXTLINE(concurrency-mt-unsafe)
    if (const char* pDir = std::getenv("SSL_CERT_DIR"); pDir != nullptr && *pDir != '\0')
        Require(curl_easy_setopt(m_pEasy, CURLOPT_CAPATH, pDir));
    Require(curl_easy_setopt(m_pEasy, CURLOPT_SSL_VERIFYPEER, transport.bVerifyPeer ? 1L : 0L));
    Require(curl_easy_setopt(m_pEasy, CURLOPT_SSL_VERIFYHOST, transport.bVerifyPeer ? 2L : 0L));
    if (transport.bCompressed)
        Require(curl_easy_setopt(m_pEasy, CURLOPT_ACCEPT_ENCODING, AcceptedEncodings().c_str()));
    m_pRateLimit = transport.pRateLimit;
    if (m_pRateLimit)
    {
        // libcurl's own limit starts afresh with every transfer and lets a socket's first buffer
        // through; the requests draw from the shared bucket instead. Reads of one burst keep a
        // limited transfer smooth, and every block they hand out passes the bucket whole.
        const auto nBuffer = static_cast<long>(m_pRateLimit->BurstBytes());
        Require(curl_easy_setopt(m_pEasy, CURLOPT_BUFFERSIZE, nBuffer));
    }
}

void CHttpConnection::WatchTlsClose()
{
    // libcurl passes a length-less body ended by a bare TCP close as whole; only the TLS
    // library's alerts tell it from the orderly end. A client built on another TLS library has
    // no such context, and its bodies are judged as before.
    if (curl_easy_setopt(m_pEasy, CURLOPT_SSL_CTX_FUNCTION, &CHttpConnection::OnTlsContext) != CURLE_OK ||
        CloseNotifySlot() < 0)
        return;
    Require(curl_easy_setopt(m_pEasy, CURLOPT_SSL_CTX_DATA, this));
    m_bWatchesTlsClose = true;
}

CURLcode CHttpConnection::OnTlsContext(CURL* /*pEasy*/, void* pContext, void* pSelf)
{
    // Called for each TLS connection the handle sets up, redirects included; the connection
    // outlives the client's handles and so every context they make.
    auto* pTls = static_cast<SSL_CTX*>(pContext);
    auto* self = static_cast<CHttpConnection*>(pSelf);
    if (SSL_CTX_set_ex_data(pTls, CloseNotifySlot(), &self->m_bCloseNotify) != 1)
        return CURLE_SSL_CONNECT_ERROR;
    SSL_CTX_set_info_callback(pTls, &OnTlsInfo);
    return CURLE_OK;
}

void CHttpConnection::ReleaseHandles()
{
    if (m_pMulti != nullptr)
        curl_multi_cleanup(m_pMulti);
    if (m_pEasy != nullptr)
        curl_easy_cleanup(m_pEasy);
    m_pMulti = nullptr;
    m_pEasy = nullptr;
}

std::unique_ptr<CHttpRequest> CHttpConnection::OpenRequest(const std::string& strVerb,
                                                           const std::string& strObject,
                                                           const std::string& strVersion)
{
    if (strVerb != "GET")
        throw CInternetException(CURLE_UNSUPPORTED_PROTOCOL, "only GET requests are supported");
    return std::unique_ptr<CHttpRequest>(new CHttpRequest(
        *this, m_strServerRoot + UrlParts::EncodeTarget(strObject), strVersion == "HTTP/1.0"));
}
