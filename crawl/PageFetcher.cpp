#include "crawl/PageFetcher.h"

#include "crawl/FileStore.h"
#include "crawl/LocalNames.h"
#include "crawl/RetryAfter.h"
#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/UrlParts.h"
#include "settings/RunSettings.h"

#include <algorithm>
#include <ctime>
#include <optional>

namespace
{

enum FileCheckMode : std::uint32_t
{
    kSkipExisting = 0,
    kByDateReplace = 1,
    kByDateRenameOld = 2,
};

// The largest page kept in memory for its links; most pages are far smaller.
constexpr size_t kMaxHeldPageBytes = size_t{8} * 1024 * 1024;

// An answer that is no copy of the address: a client or server error (401 and 404 have rules of
// their own), or a final 1xx, which no request of ours asks for.
bool IsFailedAnswer(long nStatus)
{
    return (nStatus >= 100 && nStatus < 200) || (nStatus >= 400 && nStatus < 600 && nStatus != 404);
}

} // namespace

CPageFetcher::CPageFetcher(IEngineContext& context, const RunSettings& settings)
    : m_context(context), m_bByDate(settings.nFileCheck != kSkipExisting),
      m_bRenameOld(settings.nFileCheck == kByDateRenameOld), m_bNoNameAsIndex(settings.nNoNameAsIndex != 0),
      m_connection(context, settings)
{
}

CPageFetcher::~CPageFetcher() = default;

std::string CPageFetcher::Report(std::string strLine)
{
    // A line the log refuses has been shown to the user already; the fetch fails either way.
    (void)m_context.WriteErrorLog(strLine, false);
    return strLine;
}

bool CPageFetcher::Fail(FetchResult& result, std::string strLine)
{
    if (!strLine.empty())
        result.strError = Report(std::move(strLine));
    CloseAll();
    return false;
}

void CPageFetcher::SetStartDir(std::string strStartDir)
{
    m_strStartDir = std::move(strStartDir);
    // A run whose pages are all present locally never connects, yet its root-relative links must
    // resolve against the server.
    if (const std::optional<UrlParts> parts = UrlParts::Parse(m_strStartDir))
        m_strServerRoot = parts->ServerRoot();
}

std::string CPageFetcher::Connect()
{
    const CServerConnection::ConnectOutcome outcome =
        m_connection.Connect(m_strStartDir, m_strUser, m_strPassword);
    if (outcome.bNotHttp)
        m_context.MessageBox("Error: can only use URLs beginning with http://", MsgButtons::Ok, MsgIcon::None,
                             "Error");
    if (!outcome.bOk)
        return Report(outcome.strError);
    m_strServerRoot = outcome.strServerRoot;
    return {};
}

std::string CPageFetcher::ObjectPath() const
{
    return m_strUrl.substr(std::min(m_strServerRoot.size(), m_strUrl.size()));
}

TextAnswer CPageFetcher::FetchText(const std::string& strObject, size_t nMaxBytes)
{
    TextAnswer answer;
    if (!m_connection.Serves(m_strStartDir))
    {
        answer.kind = TextAnswer::Kind::Absent;
        return answer;
    }
    answer.strReason = Connect();
    if (!answer.strReason.empty())
        return answer;
    return m_connection.ReadText(strObject, nMaxBytes);
}

bool CPageFetcher::ProbeDirectory(std::string strUrl)
{
    m_strUrl = std::move(strUrl) + '/';
    if (!Connect().empty())
        return false;
    const std::string strObject = ObjectPath();
    const GetResponse response = m_connection.Get(strObject);
    if (!response.bOk)
    {
        (void)Report(response.strError);
        return false;
    }
    m_connection.CloseRequest();
    if (response.bNotFound)
        (void)Report("Link not found: " + strObject);
    return !response.bNotFound;
}

FetchResult CPageFetcher::Download(std::string strUrl, bool bHoldPage, bool bKeep)
{
    m_strUrl = std::move(strUrl);
    m_nBytesReceived = 0;
    m_nBytesExpected = 0;
    FetchResult result;
    result.bOk = Store(result, bHoldPage, bKeep);
    if (result.bOk)
        result.strError.clear();
    if (!result.bPageHeld)
        std::string().swap(result.strPageText);
    return result;
}

bool CPageFetcher::Store(FetchResult& result, bool bHoldPage, bool bKeep)
{
    const LocalNames::LocalName name =
        LocalNames::MakeLocalName(m_strUrl, m_strStartDir, m_strDestDir, m_bNoNameAsIndex);
    result.strLocalPath = name.strPath;
    result.bTemporary = name.bTemporary;
    if (!LocalNames::IsInside(name.strPath, m_strDestDir))
    {
        result.strError = Report("Refusing to store [" + name.strPath + "] outside the destination folder.");
        return false;
    }
    // A temp.html already in the folder is no copy of the folder page: the user or the site put it
    // there. A temporary page is therefore always fetched and never compared, renamed or replaced.
    if (!m_bByDate && !name.bTemporary && FileSystem::Exists(name.strPath))
    {
        result.strContentType = LocalNames::TypeFromName(name.strPath);
        return true;
    }

    if (std::string strError = Connect(); !strError.empty())
    {
        result.strError = std::move(strError);
        return Fail(result, {});
    }
    const std::string strObject = ObjectPath();
    const GetResponse response = m_connection.Get(strObject);
    if (!response.bOk)
        return Fail(result, response.strError);
    if (IsFailedAnswer(response.nStatus))
        return FailAnswer(result, response);
    result.strContentType = response.strContentType;

    const bool bLocalCopy = !name.bTemporary && FileSystem::Exists(name.strPath);
    if (response.bNotFound)
    {
        (void)Report("Link not found: " + strObject);
        // In a date mode the local copy stands in for the missing page.
        if (m_bByDate && bLocalCopy)
            result.strContentType = LocalNames::TypeFromName(name.strPath);
        else
            result.bNotFound = true;
        return true;
    }
    if (bLocalCopy)
    {
        // A copy whose time cannot be read counts as older.
        const std::optional<std::int64_t> localTime = FileSystem::GetWriteTime(name.strPath);
        if (!m_bByDate || (response.lastModified && localTime && *response.lastModified <= *localTime))
        {
            m_connection.CloseRequest();
            return true;
        }
    }
    // A body the filter leaves out is only read for links, so it is stored as a folder page is.
    result.bTemporary = result.bTemporary || !bKeep;
    return WriteBody(result, response, bLocalCopy && m_bRenameOld, bHoldPage);
}

bool CPageFetcher::FailAnswer(FetchResult& result, const GetResponse& response)
{
    if (response.nStatus == 429 || response.nStatus == 503)
    {
        if (const std::optional<std::chrono::seconds> wait =
                RetryAfter::Parse(response.strRetryAfter, static_cast<std::int64_t>(std::time(nullptr))))
            result.retryAfter = *wait;
    }
    // The body is an error page, not the file: it is neither stored nor read.
    return Fail(result,
                "Error: the server answered " + std::to_string(response.nStatus) + " for " + m_strUrl);
}

bool CPageFetcher::WriteBody(FetchResult& result, const GetResponse& response, bool bKeepOldCopy,
                             bool bHoldPage)
{
    m_nBytesExpected = response.nLength;
    CFileStore store(result.strLocalPath);
    if (std::string strError = store.Create(); !strError.empty())
        return Fail(result, std::move(strError));

    using BodyEnd = CServerConnection::BodyEnd;
    // Only a body written here is held: a copy kept by date is read from its file.
    BodyEnd end = TransferBody(store, result, bHoldPage && response.strContentType == "text/html");
    if (std::string strError = store.Finish(response.lastModified); !strError.empty())
    {
        result.strError = Report(std::move(strError));
        end = BodyEnd::SinkStopped;
    }
    // A length the server named judges the body; without one only the server's orderly end
    // makes it whole: a reset, a time-out or closing leaves a file that merely looks complete.
    const std::int64_t nExpected = m_nBytesExpected;
    const bool bIncomplete = nExpected > 0 ? nExpected > m_nBytesReceived : end == BodyEnd::Cut;
    bool bOk = false;
    if (bIncomplete)
    {
        store.Discard();
        m_nBytesReceived = 0;
        result.strError = Report("File not complete, deleting [" + result.strLocalPath + "]");
    }
    else if (end == BodyEnd::SinkStopped)
    {
        // A body that could not be written whole is no copy worth keeping, length or not.
        store.Discard();
        m_nBytesReceived = 0;
    }
    else if (result.bTemporary)
    {
        // A page read only for its links stays under its own name until the crawl loop deletes
        // it, so a temp.html in the folder is neither replaced nor deleted.
        result.strLocalPath = store.KeepPrivate();
        bOk = true;
    }
    else if (std::string strError = store.PutInPlace(bKeepOldCopy); !strError.empty())
    {
        m_nBytesReceived = 0;
        result.strError = Report(std::move(strError));
    }
    else
    {
        m_bStoredAny = true;
        bOk = true;
    }

    m_connection.CloseRequest();
    if (!bOk)
        CloseAll();
    result.bPageHeld = bOk && result.bPageHeld;
    return bOk;
}

// Moves the body from the connection to the store, counting it for the display. The sink stops
// only when a block could not be written. Failures are logged and named in `result`.
CServerConnection::BodyEnd CPageFetcher::TransferBody(CFileStore& store, FetchResult& result, bool bHoldPage)
{
    result.bPageHeld = bHoldPage;
    std::string strWriteError;
    const std::time_t start = std::time(nullptr);
    const CServerConnection::BodyOutcome body = m_connection.ReceiveBody(
        [&](const char* pData, size_t nCount)
        {
            // The display follows the network, not the write buffer: a small file shows its bytes
            // while it arrives.
            const std::int64_t nReceived =
                m_nBytesReceived.fetch_add(static_cast<std::int64_t>(nCount), std::memory_order_relaxed) +
                static_cast<std::int64_t>(nCount);
            strWriteError = store.Write(pData, nCount);
            if (!strWriteError.empty())
                return false;
            if (result.bPageHeld)
            {
                // A page larger than the bound is read back from its file: memory stays bounded.
                if (result.strPageText.size() + nCount > kMaxHeldPageBytes)
                {
                    result.bPageHeld = false;
                    std::string().swap(result.strPageText);
                }
                else
                {
                    result.strPageText.append(pData, nCount);
                }
            }
            const double dElapsed = static_cast<double>(std::time(nullptr) - start);
            if (dElapsed != 0)
                m_dRate.store(static_cast<double>(nReceived) / dElapsed, std::memory_order_relaxed);
            return true;
        });
    if (!body.strError.empty())
        result.strError = Report(body.strError);
    if (!strWriteError.empty())
        result.strError = Report(std::move(strWriteError));
    return body.end;
}
