#include "platform/HttpRequest.h"

#include "platform/AsciiText.h"
#include "platform/HttpConnection.h"
#include "platform/InternetException.h"
#include "platform/RateLimit.h"

#include <algorithm>
#include <cstring>
#include <curl/curl.h>

namespace
{

using Clock = std::chrono::steady_clock;

// How long one wait for the server lasts before the cancel question is asked again.
constexpr int kPollMilliseconds = 100;
constexpr size_t kMaxPendingBytes = size_t{256} * 1024;

std::string Trim(std::string_view text)
{
    return std::string(AsciiText::Trim(text));
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && AsciiText::StartsWithNoCase(a, b);
}

std::string HeaderName(const std::string& line)
{
    return Trim(std::string_view(line).substr(0, line.find(':')));
}

} // namespace

CHttpRequest::CHttpRequest(CHttpConnection& connection, std::string strUrl, bool bHttp10)
    : m_connection(connection), m_strUrl(std::move(strUrl)), m_bHttp10(bHttp10)
{
}

CHttpRequest::~CHttpRequest()
{
    Close();
}

bool CHttpRequest::HasHeader(const std::string& strName) const
{
    // The client sends the session's agent as User-Agent and its own "Accept: */*".
    if (SameName(strName, "Accept") || (SameName(strName, "User-Agent") && m_connection.HasAgent()))
        return true;
    return std::any_of(m_requestHeaders.begin(), m_requestHeaders.end(),
                       [&](const std::string& line) { return SameName(HeaderName(line), strName); });
}

void CHttpRequest::AddRequestHeaders(const std::string& strHeaders, bool bAddIfNew)
{
    size_t start = 0;
    while (start < strHeaders.size())
    {
        size_t end = strHeaders.find('\n', start);
        if (end == std::string::npos)
            end = strHeaders.size();
        const std::string line = Trim(std::string_view(strHeaders).substr(start, end - start));
        start = end + 1;
        if (line.find(':') == std::string::npos)
            continue;
        if (bAddIfNew && HasHeader(HeaderName(line)))
            continue;
        m_requestHeaders.push_back(line);
    }
}

void CHttpRequest::Begin()
{
    // An HTTP/1.0 server closes the connection after each response unless asked to keep it. The
    // client reuses it while the server agrees, and sets up a new one, unnoticed by the caller,
    // when the server has closed it.
    if (m_bHttp10 && !HasHeader("Connection"))
        m_requestHeaders.emplace_back("Connection: keep-alive");

    CURL* pEasy = m_connection.m_pEasy;
    curl_slist* pList = nullptr;
    for (const std::string& line : m_requestHeaders)
    {
        curl_slist* pGrown = curl_slist_append(pList, line.c_str());
        if (pGrown == nullptr)
        {
            curl_slist_free_all(pList);
            Fail(CURLE_OUT_OF_MEMORY);
        }
        pList = pGrown;
    }
    m_pHeaderList = pList;

    m_szError[0] = '\0';
    curl_easy_setopt(pEasy, CURLOPT_ERRORBUFFER, m_szError);
    curl_easy_setopt(pEasy, CURLOPT_URL, m_strUrl.c_str());
    curl_easy_setopt(pEasy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(pEasy, CURLOPT_HTTP_VERSION, m_bHttp10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, pList);
    curl_easy_setopt(pEasy, CURLOPT_HEADERFUNCTION, &CHttpRequest::OnHeader);
    curl_easy_setopt(pEasy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, &CHttpRequest::OnBody);
    curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, this);
    m_pending.reserve(kMaxPendingBytes);

    const CURLMcode added = curl_multi_add_handle(m_connection.m_pMulti, pEasy);
    if (added != CURLM_OK)
        throw CInternetException(static_cast<unsigned long>(added), curl_multi_strerror(added));
    m_bAdded = true;
}

void CHttpRequest::SendRequest()
{
    Begin();
    // Headers are complete once the client hands out the first body bytes or ends the transfer.
    while (!HeadersDone())
        Pump();
    RequireHeaders();
}

void CHttpRequest::RequireHeaders() const
{
    // A failure after the body began is Read's to report, once the bytes before it are out.
    if (!m_bBodyStarted)
        ThrowIfFailed();
}

bool CHttpRequest::MayResume() const
{
    return m_bPaused && Clock::now() >= m_resumeAt;
}

void CHttpRequest::Step()
{
    CURLM* pMulti = m_connection.m_pMulti;
    int nRunning = 0;
    const CURLMcode code = curl_multi_perform(pMulti, &nRunning);
    if (code != CURLM_OK)
        throw CInternetException(static_cast<unsigned long>(code), curl_multi_strerror(code));

    int nQueued = 0;
    while (CURLMsg* pMessage = curl_multi_info_read(pMulti, &nQueued))
    {
        if (pMessage->msg == CURLMSG_DONE)
        {
            m_bDone = true;
            m_nResult = pMessage->data.result;
        }
    }
}

void CHttpRequest::Pump()
{
    Step();
    if (m_bDone || BodyPending() || MayResume())
        return;
    if (m_connection.Cancelled())
        throw CInternetException(CURLE_ABORTED_BY_CALLBACK, "the transfer was cancelled");

    // A transfer the rate limit holds has no socket to watch: this is a plain sleep, in steps
    // short enough for the cancel question.
    int nWaitMs = kPollMilliseconds;
    if (m_bPaused)
    {
        const auto untilResume = std::chrono::ceil<std::chrono::milliseconds>(m_resumeAt - Clock::now());
        nWaitMs = static_cast<int>(std::clamp<std::int64_t>(untilResume.count(), 0, kPollMilliseconds));
    }
    const CURLMcode code = curl_multi_poll(m_connection.m_pMulti, nullptr, 0, nWaitMs, nullptr);
    if (code != CURLM_OK)
        throw CInternetException(static_cast<unsigned long>(code), curl_multi_strerror(code));
}

size_t CHttpRequest::Read(void* pBuffer, size_t nCount)
{
    if (!m_bAdded || nCount == 0)
        return 0;
    while (!BodyPending())
    {
        if (MayResume())
        {
            Resume();
            continue;
        }
        if (m_bDone)
        {
            EndBody();
            return 0;
        }
        Pump();
    }

    const size_t nTaken = std::min(nCount, m_pending.size() - m_nPendingPos);
    std::memcpy(pBuffer, m_pending.data() + m_nPendingPos, nTaken);
    m_nPendingPos += nTaken;
    return nTaken;
}

void CHttpRequest::Resume()
{
    // Giving the client room again makes it hand over the block it held back.
    m_bPaused = false;
    const CURLcode resumed = curl_easy_pause(m_connection.m_pEasy, CURLPAUSE_CONT);
    if (resumed != CURLE_OK)
        Fail(resumed);
}

void CHttpRequest::EndBody()
{
    m_bEndSeen = true;
    ThrowIfFailed();
    ThrowIfCutShort();
}

size_t CHttpRequest::ReadReady(void* pBuffer, size_t nCount)
{
    if (!m_bAdded || nCount == 0 || m_bEndSeen)
        return 0;
    if (!BodyPending() && MayResume())
    {
        Resume();
        Step();
    }
    if (!BodyPending())
    {
        if (m_bDone)
            EndBody();
        return 0;
    }
    const size_t nTaken = std::min(nCount, m_pending.size() - m_nPendingPos);
    std::memcpy(pBuffer, m_pending.data() + m_nPendingPos, nTaken);
    m_nPendingPos += nTaken;
    return nTaken;
}

int CHttpRequest::AddWaitSet(fd_set& read, fd_set& write, fd_set& except, int& nMaxFd) const
{
    if (!m_bAdded || m_bDone || BodyPending() || MayResume())
        return 0;
    int nFd = -1;
    if (curl_multi_fdset(m_connection.m_pMulti, &read, &write, &except, &nFd) != CURLM_OK)
        return 0;
    nMaxFd = std::max(nMaxFd, nFd);
    if (m_bPaused)
    {
        const auto untilResume = std::chrono::ceil<std::chrono::milliseconds>(m_resumeAt - Clock::now());
        return static_cast<int>(std::clamp<std::int64_t>(untilResume.count(), 0, kPollMilliseconds));
    }
    long nTimeout = -1;
    (void)curl_multi_timeout(m_connection.m_pMulti, &nTimeout);
    // Without a socket yet (a name being looked up) the client asks to be called again soon.
    if (nTimeout < 0 || nTimeout > kPollMilliseconds || nFd < 0)
        nTimeout =
            nFd < 0 ? std::min<long>(nTimeout < 0 ? kPollMilliseconds : nTimeout, 10) : kPollMilliseconds;
    return static_cast<int>(nTimeout);
}

std::int64_t CHttpRequest::QueryWireBytes() const
{
    curl_off_t nBytes = 0;
    curl_easy_getinfo(m_connection.m_pEasy, CURLINFO_SIZE_DOWNLOAD_T, &nBytes);
    return static_cast<std::int64_t>(nBytes);
}

void CHttpRequest::Close()
{
    CURL* pEasy = m_connection.m_pEasy;
    if (m_bAdded)
    {
        // Removing an unfinished transfer drops its connection; the body is never read.
        curl_multi_remove_handle(m_connection.m_pMulti, pEasy);
        m_bAdded = false;
    }
    if (m_pHeaderList != nullptr)
    {
        curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, nullptr);
        curl_slist_free_all(static_cast<curl_slist*>(m_pHeaderList));
        m_pHeaderList = nullptr;
    }
    curl_easy_setopt(pEasy, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(pEasy, CURLOPT_HEADERDATA, nullptr);
    curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, nullptr);
    m_pending.clear();
    m_nPendingPos = 0;
}

long CHttpRequest::QueryStatusCode() const
{
    long nStatus = 0;
    curl_easy_getinfo(m_connection.m_pEasy, CURLINFO_RESPONSE_CODE, &nStatus);
    return nStatus;
}

std::string CHttpRequest::QueryHeader(const std::string& strName) const
{
    for (const auto& [name, value] : m_responseHeaders)
    {
        if (SameName(name, strName))
            return value;
    }
    return {};
}

std::optional<std::int64_t> CHttpRequest::QueryLastModified() const
{
    const std::string strDate = QueryHeader("Last-Modified");
    if (strDate.empty())
        return std::nullopt;
    // Reads the three forms HTTP allows: RFC 1123, RFC 850 and asctime.
    const time_t when = curl_getdate(strDate.c_str(), nullptr);
    if (when == -1)
        return std::nullopt;
    return static_cast<std::int64_t>(when);
}

std::string CHttpRequest::CurrentHost() const
{
    // After redirects the host that failed may not be the one first asked.
    char* pUrl = nullptr;
    curl_easy_getinfo(m_connection.m_pEasy, CURLINFO_EFFECTIVE_URL, &pUrl);
    std::string strUrl = pUrl != nullptr ? pUrl : m_strUrl;
    const size_t start = strUrl.find("://");
    strUrl.erase(0, start == std::string::npos ? 0 : start + 3);
    strUrl.erase(std::min(strUrl.find('/'), strUrl.size()));
    return strUrl;
}

void CHttpRequest::ThrowIfFailed() const
{
    if (m_bDone && m_nResult != CURLE_OK)
        Fail(m_nResult);
}

bool CHttpRequest::EndsWithTheConnection() const
{
    const long nStatus = QueryStatusCode();
    if (nStatus < 200 || nStatus == 204 || nStatus == 304 || !QueryHeader("Content-Length").empty())
        return false;
    return AsciiText::ToLower(QueryHeader("Transfer-Encoding")).find("chunked") == std::string::npos;
}

void CHttpRequest::ThrowIfCutShort() const
{
    if (!m_connection.WatchesTlsClose() || m_connection.TlsClosedInOrder() || !EndsWithTheConnection())
        return;
    // A redirect may have led from plain HTTP to TLS or back: the last transfer's scheme counts.
    const char* pScheme = nullptr;
    curl_easy_getinfo(m_connection.m_pEasy, CURLINFO_SCHEME, &pScheme);
    if (pScheme == nullptr || AsciiText::ToLower(pScheme) != "https")
        return;
    throw CInternetException(CURLE_PARTIAL_FILE,
                             std::string(curl_easy_strerror(CURLE_PARTIAL_FILE)) +
                                 ": the server closed the TLS connection without close_notify");
}

void CHttpRequest::Fail(int nCode) const
{
    const CURLcode code = static_cast<CURLcode>(nCode);
    std::string strText = curl_easy_strerror(code);
    if (code == CURLE_PEER_FAILED_VERIFICATION)
        strText = "Certificate check failed for " + CurrentHost() + ": " +
                  (m_szError[0] != '\0' ? std::string(m_szError) : strText);
    else if (m_szError[0] != '\0')
        strText += std::string(": ") + m_szError;
    throw CInternetException(static_cast<unsigned long>(code), strText);
}

size_t CHttpRequest::OnHeader(char* pData, size_t nSize, size_t nItems, void* pSelf)
{
    auto* self = static_cast<CHttpRequest*>(pSelf);
    const size_t nBytes = nSize * nItems;
    const std::string line = Trim(std::string_view(pData, nBytes));
    // Every response of a redirect chain or an authentication round starts with its status line;
    // only the last one's headers count.
    if (line.rfind("HTTP/", 0) == 0)
    {
        self->m_responseHeaders.clear();
        // An alert the client read before this response, as it checked a kept connection that
        // the server had ended, says nothing about how this response ends.
        self->m_connection.m_bCloseNotify = false;
    }
    else if (const size_t colon = line.find(':'); colon != std::string::npos)
        self->m_responseHeaders.emplace_back(Trim(std::string_view(line).substr(0, colon)),
                                             Trim(std::string_view(line).substr(colon + 1)));
    return nBytes;
}

size_t CHttpRequest::OnBody(char* pData, size_t nSize, size_t nItems, void* pSelf)
{
    auto* self = static_cast<CHttpRequest*>(pSelf);
    const size_t nBytes = nSize * nItems;
    const size_t nUnread = self->m_pending.size() - self->m_nPendingPos;
    // Hold a bounded amount: the client keeps the rest until Read has made room. Pausing for
    // every block would cost more than the transfer itself.
    if (nUnread > 0 && nUnread + nBytes > kMaxPendingBytes)
    {
        self->m_bPaused = true;
        self->m_resumeAt = {};
        return CURL_WRITEFUNC_PAUSE;
    }
    if (const std::shared_ptr<CRateLimit>& pLimit = self->m_connection.m_pRateLimit)
    {
        // Held by the client, the block has not been received as far as the limit goes: the
        // socket is not read again until it is handed over.
        const Clock::time_point now = Clock::now();
        const Clock::duration wait = pLimit->Take(nBytes, now);
        if (wait > Clock::duration::zero())
        {
            self->m_bPaused = true;
            self->m_resumeAt = now + wait;
            self->m_bBodyStarted = true;
            return CURL_WRITEFUNC_PAUSE;
        }
    }
    self->m_pending.erase(self->m_pending.begin(),
                          self->m_pending.begin() + static_cast<long>(self->m_nPendingPos));
    self->m_nPendingPos = 0;
    self->m_pending.insert(self->m_pending.end(), pData, pData + nBytes);
    self->m_bBodyStarted = true;
    return nBytes;
}
