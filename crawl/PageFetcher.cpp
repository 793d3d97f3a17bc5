#include "crawl/PageFetcher.h"

#include "crawl/FileStore.h"
#include "crawl/LocalNames.h"
#include "crawl/PartialRecord.h"
#include "crawl/RequestConditions.h"
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

} // namespace

CPageFetcher::CPageFetcher(IEngineContext& context, const RunSettings& settings)
    : m_context(context), m_bByDate(settings.nFileCheck != kSkipExisting),
      m_bRenameOld(settings.nFileCheck == kByDateRenameOld), m_bNoNameAsIndex(settings.nNoNameAsIndex != 0),
      m_bCompressed(settings.nCompressed != 0), m_bResume(settings.nResume != 0),
      m_resume(context, m_bByDate, m_bResume, m_bCompressed),
      m_pSettings(std::make_unique<RunSettings>(settings)), m_connection(context, settings)
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
    return ObjectPathOf(m_strUrl);
}

std::string CPageFetcher::ObjectPathOf(const std::string& strUrl) const
{
    return strUrl.substr(std::min(m_strServerRoot.size(), strUrl.size()));
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

LocalNames::LocalName CPageFetcher::NameOf(const std::string& strUrl) const
{
    return LocalNames::MakeLocalName(strUrl, m_strStartDir, m_strDestDir, m_bNoNameAsIndex);
}

CPageFetcher::BeforeRequest CPageFetcher::Judge(const LocalNames::LocalName& name) const
{
    if (!LocalNames::IsInside(name.strPath, m_strDestDir))
        return BeforeRequest::Refused;
    // A temp.html already in the folder is no copy of the folder page: the user or the site put it
    // there. A temporary page is therefore always fetched and never compared, renamed or replaced.
    if (!m_bByDate && !name.bTemporary && FileSystem::Exists(name.strPath))
        return BeforeRequest::Present;
    return BeforeRequest::Ask;
}

std::optional<bool> CPageFetcher::Before(FetchResult& result, const LocalNames::LocalName& name)
{
    result.strLocalPath = name.strPath;
    result.bTemporary = name.bTemporary;
    switch (Judge(name))
    {
    case BeforeRequest::Refused:
        result.strError = Report("Refusing to store [" + name.strPath + "] outside the destination folder.");
        return false;
    case BeforeRequest::Present:
        result.strContentType = LocalNames::TypeFromName(name.strPath);
        return true;
    case BeforeRequest::Ask:
        break;
    }
    return std::nullopt;
}

bool CPageFetcher::WantsBody(const LocalNames::LocalName& name, const GetResponse& response) const
{
    if (!response.bOk || response.bNotFound || response.IsFailedAnswer())
        return false;
    if (name.bTemporary || !FileSystem::Exists(name.strPath))
        return true;
    // A copy whose time cannot be read counts as older.
    const std::optional<std::int64_t> localTime = FileSystem::GetWriteTime(name.strPath);
    return m_bByDate && !(response.lastModified && localTime && *response.lastModified <= *localTime);
}

RequestConditions CPageFetcher::AheadConditions(const LocalNames::LocalName& name) const
{
    RequestConditions conditions;
    // A copy whose time cannot be read counts as older: it is asked for without a condition.
    if (m_bByDate && !name.bTemporary && FileSystem::Exists(name.strPath))
        conditions.ifModifiedSince = FileSystem::GetWriteTime(name.strPath);
    return conditions;
}

bool CPageFetcher::AsksForRest(const LocalNames::LocalName& name) const
{
    // A folder page read for its links is small and stored under a private name of its own.
    if (name.bTemporary)
        return false;
    return m_bResume && !m_bCompressed &&
           PartialRecord::Read(FileSystem::PartialPath(name.strPath)).has_value();
}

std::optional<bool> CPageFetcher::After(FetchResult& result, const LocalNames::LocalName& name,
                                        const GetResponse& response, bool& bKeepOldCopy)
{
    if (!response.bOk)
        return Fail(result, response.strError);
    if (response.IsFailedAnswer())
        return FailAnswer(result, response);
    result.strContentType = response.strContentType;

    const bool bLocalCopy = !name.bTemporary && FileSystem::Exists(name.strPath);
    if (response.bNotFound)
    {
        (void)Report("Link not found: " + ObjectPathOf(m_strUrl));
        // In a date mode the local copy stands in for the missing page.
        if (m_bByDate && bLocalCopy)
            result.strContentType = LocalNames::TypeFromName(name.strPath);
        else
            result.bNotFound = true;
        return true;
    }
    if (!WantsBody(name, response))
        return true;
    bKeepOldCopy = bLocalCopy && m_bRenameOld;
    return std::nullopt;
}

bool CPageFetcher::Store(FetchResult& result, bool bHoldPage, bool bKeep)
{
    const LocalNames::LocalName name = NameOf(m_strUrl);
    if (const std::optional<bool> decided = Before(result, name))
        return *decided;

    if (std::string strError = Connect(); !strError.empty())
    {
        result.strError = std::move(strError);
        return Fail(result, {});
    }
    const std::string strObject = ObjectPath();
    RequestConditions conditions = m_resume.ConditionsFor(name, m_strUrl);
    BodyPlan plan;
    const GetResponse response = m_resume.Request(m_connection, strObject, name.strPath, conditions, plan);
    if (response.bOk && response.nStatus == 304)
        return m_resume.NotModified(result, conditions, strObject);
    if (const std::optional<bool> decided = After(result, name, response, plan.bKeepOldCopy))
    {
        if (!*decided)
            return false;
        m_connection.CloseRequest();
        // The rest of a version no later than the copy is not worth asking for again.
        if (plan.nFrom > 0 && !response.bNotFound)
            PartialRecord::Remove(FileSystem::PartialPath(name.strPath));
        return true;
    }
    // A body the filter leaves out is only read for links, so it is stored as a folder page is.
    result.bTemporary = result.bTemporary || !bKeep;
    return WriteBody(result, response, plan, bHoldPage);
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

bool CPageFetcher::WriteBody(FetchResult& result, const GetResponse& response, const BodyPlan& plan,
                             bool bHoldPage)
{
    // The bytes already held count as received, so the length judges the whole file.
    m_nBytesExpected = response.nLength > 0 ? plan.nFrom + response.nLength : 0;
    m_nBytesReceived = plan.nFrom;
    CFileStore store(result.strLocalPath);
    if (std::string strError = plan.nFrom > 0 ? store.Continue() : store.Create(); !strError.empty())
        return Fail(result, std::move(strError));
    // A fresh body has no earlier part: the record of one would describe other bytes.
    if (m_bResume && plan.nFrom == 0)
        (void)FileSystem::Delete(PartialRecord::PathFor(store.PartialPath()));

    using BodyEnd = CServerConnection::BodyEnd;
    // Only a body written here, whole, is held: a copy kept by date, or a page whose start was
    // written by an earlier transfer, is read from its file.
    std::int64_t nWireBytes = 0;
    BodyEnd end = TransferBody(
        store, result, bHoldPage && plan.nFrom == 0 && response.strContentType == "text/html", nWireBytes);
    if (std::string strError = store.Finish(response.lastModified); !strError.empty())
    {
        result.strError = Report(std::move(strError));
        end = BodyEnd::SinkStopped;
    }
    const bool bOk = Complete(result, store, end, m_bCompressed ? nWireBytes : m_nBytesReceived.load(), plan);
    m_connection.CloseRequest();
    if (!bOk)
        CloseAll();
    return bOk;
}

bool CPageFetcher::Complete(FetchResult& result, CFileStore& store, CServerConnection::BodyEnd end,
                            std::int64_t nCounted, const BodyPlan& plan)
{
    using BodyEnd = CServerConnection::BodyEnd;
    // A length the server named judges the body; without one only the server's orderly end
    // makes it whole: a reset, a time-out or closing leaves a file that merely looks complete.
    // A compressed body is counted as it came over the wire, which the length names, and a cut
    // one is never whole, as its decoded bytes cannot be told from a whole body's.
    const std::int64_t nExpected = m_nBytesExpected;
    const bool bIncomplete =
        nExpected > 0 ? nExpected > nCounted || (m_bCompressed && end == BodyEnd::Cut) : end == BodyEnd::Cut;
    bool bOk = false;
    if (bIncomplete)
    {
        result.strError = Report(
            m_resume.DropOrKeepPart(store, result, plan, m_strUrl, m_nBytesReceived, m_nBytesExpected));
        m_nBytesReceived = 0;
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
    else if (std::string strError = store.PutInPlace(plan.bKeepOldCopy); !strError.empty())
    {
        m_nBytesReceived = 0;
        result.strError = Report(std::move(strError));
    }
    else
    {
        if (plan.nFrom > 0)
            (void)FileSystem::Delete(PartialRecord::PathFor(store.PartialPath()));
        m_bStoredAny = true;
        bOk = true;
    }
    result.bPageHeld = bOk && result.bPageHeld;
    return bOk;
}

// Moves the body from the connection to the store, counting it for the display. The sink stops
// only when a block could not be written. Failures are logged and named in `result`.
CServerConnection::BodyEnd CPageFetcher::TransferBody(CFileStore& store, FetchResult& result, bool bHoldPage,
                                                      std::int64_t& nWireBytes)
{
    result.bPageHeld = bHoldPage;
    std::string strWriteError;
    const std::time_t start = std::time(nullptr);
    // Bytes an earlier transfer wrote are not this one's rate.
    const std::int64_t nBefore = m_nBytesReceived;
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
                m_dRate.store(static_cast<double>(nReceived - nBefore) / dElapsed, std::memory_order_relaxed);
            return true;
        });
    if (!body.strError.empty())
        result.strError = Report(body.strError);
    if (!strWriteError.empty())
        result.strError = Report(std::move(strWriteError));
    nWireBytes = body.nWireBytes;
    return body.end;
}

std::unique_ptr<CServerConnection> CPageFetcher::MakeConnection() const
{
    auto pConnection = std::make_unique<CServerConnection>(m_context, *m_pSettings, m_connection.RateLimit());
    pConnection->SetCheckCertificates(m_bCheckCertificates);
    return pConnection;
}

CServerConnection::ConnectOutcome CPageFetcher::ConnectOther(CServerConnection& connection) const
{
    return connection.Connect(m_strStartDir, m_strUser, m_strPassword);
}

void CPageFetcher::ShowProgress(std::int64_t nReceived, std::int64_t nExpected, double dRate)
{
    m_nBytesReceived = nReceived;
    m_nBytesExpected = nExpected;
    m_dRate.store(dRate, std::memory_order_relaxed);
}

FetchResult CPageFetcher::Conclude(std::string strUrl, AheadOutcome& ahead, bool bHoldPage, bool bKeep)
{
    m_strUrl = std::move(strUrl);
    FetchResult result;
    result.bOk = ConcludeStore(result, ahead, bHoldPage, bKeep);
    if (result.bOk)
        result.strError.clear();
    if (!result.bPageHeld)
        std::string().swap(result.strPageText);
    return result;
}

bool CPageFetcher::ConcludeStore(FetchResult& result, AheadOutcome& ahead, bool bHoldPage, bool bKeep)
{
    const LocalNames::LocalName name = NameOf(m_strUrl);
    // Whether the file is present is decided now, as one transfer at a time decides it.
    if (const std::optional<bool> decided = Before(result, name))
        return *decided;
    if (!ahead.bAsked)
        return Store(result, bHoldPage, bKeep);
    if (!ahead.strSendError.empty())
        return Fail(result, ahead.strSendError);
    if (ahead.response.bOk && ahead.response.nStatus == 304)
        return m_resume.NotModified(result, ahead.conditions, ObjectPathOf(m_strUrl));
    BodyPlan plan;
    if (const std::optional<bool> decided = After(result, name, ahead.response, plan.bKeepOldCopy))
        return *decided;
    if (!ahead.pStore)
        return Store(result, bHoldPage, bKeep);
    if (!ahead.strCreateError.empty())
        return Fail(result, ahead.strCreateError);

    for (std::string& strLine : ahead.lines)
        result.strError = Report(std::move(strLine));
    CServerConnection::BodyEnd end = ahead.end;
    if (!ahead.strFinishError.empty())
    {
        result.strError = Report(std::move(ahead.strFinishError));
        end = CServerConnection::BodyEnd::SinkStopped;
    }
    // A body the filter leaves out is only read for links, so it is stored as a folder page is.
    result.bTemporary = result.bTemporary || !bKeep;
    m_nBytesExpected = ahead.response.nLength;
    m_nBytesReceived = ahead.nReceived;
    result.bPageHeld = bHoldPage && ahead.bPageHeld;
    if (result.bPageHeld)
        result.strPageText = std::move(ahead.strPageText);
    // A cut transfer keeps its part as one asked at its turn would.
    plan.strValidator =
        RequestConditions::ValidatorOf(ahead.response.strETag, ahead.response.strLastModified);
    return Complete(result, *ahead.pStore, end, m_bCompressed ? ahead.nWireBytes : ahead.nReceived, plan);
}
