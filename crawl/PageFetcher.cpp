#include "crawl/PageFetcher.h"

#include "crawl/FetchSession.h"
#include "crawl/TearException.h"
#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/HttpConnection.h"
#include "platform/HttpRequest.h"
#include "platform/InternetException.h"
#include "platform/LocalFile.h"
#include "platform/PathParts.h"
#include "platform/RateLimit.h"
#include "platform/TimeFormat.h"
#include "platform/UrlParts.h"
#include "settings/RunSettings.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
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

// The unit of counting, rate and the closing check.
constexpr size_t kBlockBytes = 256;
// Blocks are gathered and written together; one system call per block caps the transfer far
// below what the network delivers.
constexpr size_t kWriteBufferBytes = size_t{64} * 1024;
// The largest page kept in memory for its links; most pages are far smaller.
constexpr size_t kMaxHeldPageBytes = size_t{8} * 1024 * 1024;
constexpr const char* kStampFormat = " %Y%m%d%H%M%S";
constexpr int kMaxStampVariants = 100;

std::string CollapseSeparators(const std::string& strPath)
{
    // From the second character on, the first of two neighbouring separators goes; a run of three
    // becomes two.
    std::string result = strPath.substr(0, 1);
    for (size_t i = 1; i < strPath.size(); ++i)
    {
        if (strPath[i] == '/' && i + 1 < strPath.size() && strPath[i + 1] == '/')
            ++i;
        result += strPath[i];
    }
    return result;
}

std::string WithTrailingSlash(std::string strFolder)
{
    if (strFolder.empty() || strFolder.back() != '/')
        strFolder += '/';
    return strFolder;
}

} // namespace

CPageFetcher::CPageFetcher(IEngineContext& context, const RunSettings& settings)
    : m_context(context), m_bByDate(settings.nFileCheck != kSkipExisting),
      m_bRenameOld(settings.nFileCheck == kByDateRenameOld), m_bNoNameAsIndex(settings.nNoNameAsIndex != 0),
      m_bAllowHttps(settings.nAllowHttps != 0), m_nWaitMs(settings.nWaitMs),
      m_nLimitRate(settings.nLimitRate),
      m_pRateLimit(m_nLimitRate > 0 ? std::make_shared<CRateLimit>(m_nLimitRate) : nullptr)
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
    transport.pRateLimit = m_pRateLimit;
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

void CPageFetcher::Request(const std::string& strObject)
{
    CloseRequest();
    Pace();
    m_pFile = m_pConnection->OpenRequest("GET", strObject, "HTTP/1.0");
    m_pFile->AddRequestHeaders(kRequestHeaders, true);
    m_pFile->SendRequest();
}

GetResponse CPageFetcher::SendGet(std::string strObject)
{
    return Guarded(GetResponse{},
                   [&]
                   {
                       GetResponse response;
                       Request(strObject);

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
        Request(strObject);
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

// Storage: local names, the existing-file modes and the body transfer.
bool CPageFetcher::Fail()
{
    CloseAll();
    return false;
}

bool CPageFetcher::IsHtmlName(const std::string& strPath)
{
    const std::string strExt = PathParts::Split(strPath).ext;
    return strExt.find(".htm") != std::string::npos || strExt.find(".shtm") != std::string::npos;
}

bool CPageFetcher::FileExists(const std::string& strPath)
{
    return FileSystem::Exists(strPath);
}

bool CPageFetcher::CreatePath(const std::string& strPath)
{
    const PathParts parts = PathParts::Split(strPath);
    const std::string strFolder = parts.drive + parts.dir;
    // Most files go to a folder that exists already: one look settles that for every level.
    if (strFolder.size() > 1 && FileExists(strFolder.substr(0, strFolder.size() - 1)))
        return true;
    // A leading '/' is the root, which always exists.
    for (size_t slash = strFolder.find('/', 1); slash != std::string::npos;
         slash = strFolder.find('/', slash + 1))
    {
        const std::string strPrefix = strFolder.substr(0, slash);
        if (!FileExists(strPrefix) && !FileSystem::CreateDirectory(strPrefix))
            return false;
    }
    return true;
}

void CPageFetcher::MakeLocalName(bool& bTemporary)
{
    const std::string strRelative =
        m_strUrl.size() > m_strStartDir.size() ? m_strUrl.substr(m_strStartDir.size()) : "";
    std::string strPath = CollapseSeparators(WithTrailingSlash(m_strDestDir) + strRelative);

    bTemporary = false;
    const PathParts parts = PathParts::Split(strPath);
    if (parts.fname.empty() && parts.ext.empty())
    {
        bTemporary = !m_bNoNameAsIndex;
        strPath += m_bNoNameAsIndex ? "index.html" : "temp.html";
    }
    m_strLocalPath = strPath;
}

bool CPageFetcher::LocalPathIsInside() const
{
    // Server data must never place a file outside the destination folder.
    const std::string strFolder = CollapseSeparators(WithTrailingSlash(m_strDestDir));
    if (m_strLocalPath.compare(0, strFolder.size(), strFolder) != 0)
        return false;
    size_t start = strFolder.size();
    while (start <= m_strLocalPath.size())
    {
        size_t end = m_strLocalPath.find('/', start);
        if (end == std::string::npos)
            end = m_strLocalPath.size();
        if (m_strLocalPath.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

std::string CPageFetcher::TypeFromName() const
{
    // A stylesheet kept from an earlier run is read like a page kept from one (when the crawl
    // loop follows stylesheets at all).
    if (m_strLocalPath.ends_with(".css"))
        return "text/css";
    return IsHtmlName(m_strLocalPath) ? "text/html" : "";
}

FetchResult CPageFetcher::Download()
{
    m_nBytesReceived = 0;
    m_nBytesExpected = 0;
    m_bHolding = false;
    FetchResult result;
    result.bOk = Store(result);
    result.bPageHeld = result.bOk && m_bHolding;
    result.strLocalPath = m_strLocalPath;
    // Every failure has been reported, which left its line here.
    if (!result.bOk)
        result.strError = m_strLastError;
    return result;
}

// Download's steps; `result` receives the not-found flag, the type and the temporary flag.
bool CPageFetcher::Store(FetchResult& result)
{
    MakeLocalName(result.bTemporary);

    if (!LocalPathIsInside())
    {
        Report("Refusing to store [" + m_strLocalPath + "] outside the destination folder.");
        return false;
    }
    // A temp.html already in the folder is no copy of the folder page: the user or the site put it
    // there. A temporary page is therefore always fetched and never compared, renamed or replaced.
    if (!m_bByDate && !result.bTemporary && FileExists(m_strLocalPath))
    {
        result.strContentType = TypeFromName();
        return true;
    }

    EnsureSession();
    if (!EnsureConnection())
        return Fail();

    const std::string strObject = m_strUrl.substr(std::min(m_strServerRoot.size(), m_strUrl.size()));
    const GetResponse response = SendGet(strObject);
    if (!response.bOk)
        return Fail();
    result.strContentType = response.strContentType;

    if (response.bNotFound)
    {
        // In a date mode the local copy stands in for the missing page.
        if (m_bByDate && !result.bTemporary && FileExists(m_strLocalPath))
            result.strContentType = TypeFromName();
        else
            result.bNotFound = true;
        return true;
    }
    const std::optional<std::int64_t>& lastModified = response.lastModified;

    const bool bLocalCopy = !result.bTemporary && FileExists(m_strLocalPath);
    if (bLocalCopy)
    {
        if (!m_bByDate)
        {
            CloseRequest();
            return true;
        }
        // A copy whose time cannot be read counts as older.
        const std::optional<std::int64_t> localTime = FileSystem::GetWriteTime(m_strLocalPath);
        if (lastModified && localTime && *lastModified <= *localTime)
        {
            CloseRequest();
            return true;
        }
    }
    // Only a body written here is held: a copy kept by date is read from its file.
    m_bHolding = m_bHoldPages && response.strContentType == "text/html";
    m_pageText.clear();
    return WriteBody(response.nLength, lastModified, bLocalCopy && m_bRenameOld, result.bTemporary);
}

bool CPageFetcher::WriteBody(std::int64_t nLength, const std::optional<std::int64_t>& lastModified,
                             bool bKeepOldCopy, bool bTemporary)
{
    // A folder that cannot be made is reported by the file's creation below.
    (void)CreatePath(m_strLocalPath);
    m_nBytesExpected = nLength;

    // The body goes to a partial file first, so an old copy survives a transfer that breaks.
    const std::string strPartial = FileSystem::PartialPath(m_strLocalPath);
    CLocalFile file;
    if (!file.Open(strPartial, CLocalFile::Mode::CreateFresh))
    {
        Report("Unable to create file [" + m_strLocalPath + "], error [" +
               std::to_string(file.LastError().code) + "].");
        return Fail();
    }

    BodyEnd end = TransferBody(file);
    // A copy that keeps the time of its fetch is still the server's copy; a later run by date
    // only fetches it once more.
    if (lastModified)
        (void)file.SetTimes(*lastModified);
    if (!file.Close() && end != BodyEnd::WriteFailed)
    {
        Report("WriteFile error [" + std::to_string(file.LastError().code) + "]");
        end = BodyEnd::WriteFailed;
    }
    // A length the server named judges the body; without one only the server's orderly end
    // makes it whole: a reset, a time-out or closing leaves a file that merely looks complete.
    const std::int64_t nExpected = m_nBytesExpected;
    const bool bIncomplete = nExpected > 0 ? nExpected > m_nBytesReceived : end == BodyEnd::Cut;
    bool bOk = false;
    // A partial file that cannot be deleted keeps its hidden name and is replaced by the next
    // attempt; it never stands in for the finished file.
    if (bIncomplete)
    {
        (void)FileSystem::Delete(strPartial);
        m_nBytesReceived = 0;
        Report("File not complete, deleting [" + m_strLocalPath + "]");
    }
    else if (end == BodyEnd::WriteFailed)
    {
        // A body that could not be written whole is no copy worth keeping, length or not.
        (void)FileSystem::Delete(strPartial);
        m_nBytesReceived = 0;
    }
    else if (bTemporary)
    {
        // A page read only for its links stays under its own name until the crawl loop deletes
        // it, so a temp.html in the folder is neither replaced nor deleted.
        m_strLocalPath = strPartial;
        bOk = true;
    }
    else
    {
        bOk = PutInPlace(strPartial, bKeepOldCopy);
    }

    CloseRequest();
    if (!bOk)
        CloseAll();
    return bOk;
}

CPageFetcher::BodyEnd CPageFetcher::TransferBody(CLocalFile& file)
{
    if (m_writeBuffer.size() != kWriteBufferBytes)
        m_writeBuffer.resize(kWriteBufferBytes);

    const std::time_t start = std::time(nullptr);
    size_t nBuffered = 0;
    BodyEnd end = BodyEnd::Whole;
    for (;;)
    {
        const size_t nRead = ReadChunk(m_writeBuffer.data() + nBuffered, kBlockBytes);
        if (nRead == 0)
        {
            if (ReadFailed())
                end = BodyEnd::Cut;
            break;
        }
        nBuffered += nRead;
        // The display follows the network, not the write buffer: a small file shows its bytes
        // while it arrives.
        m_nBytesReceived.fetch_add(static_cast<std::int64_t>(nRead), std::memory_order_relaxed);
        if (nBuffered + kBlockBytes > m_writeBuffer.size())
        {
            if (!WriteOut(file, nBuffered))
                return BodyEnd::WriteFailed;
            nBuffered = 0;
        }

        const double dElapsed = static_cast<double>(std::time(nullptr) - start);
        if (dElapsed != 0)
            m_dRate.store(static_cast<double>(m_nBytesReceived.load()) / dElapsed, std::memory_order_relaxed);
        if (m_context.IsClosing())
        {
            end = BodyEnd::Cut;
            break;
        }
    }
    if (nBuffered != 0 && !WriteOut(file, nBuffered))
        return BodyEnd::WriteFailed;
    return end;
}

bool CPageFetcher::WriteOut(CLocalFile& file, size_t nCount)
{
    if (!file.Write(m_writeBuffer.data(), nCount))
    {
        Report("WriteFile error [" + std::to_string(file.LastError().code) + "]");
        return false;
    }
    if (m_bHolding)
        HoldBytes(nCount);
    return true;
}

void CPageFetcher::HoldBytes(size_t nCount)
{
    // A page larger than the bound is read back from its file: memory stays bounded.
    if (m_pageText.size() + nCount > kMaxHeldPageBytes)
    {
        m_bHolding = false;
        std::string().swap(m_pageText);
        return;
    }
    m_pageText.append(m_writeBuffer.data(), nCount);
}

bool CPageFetcher::PutInPlace(const std::string& strPartial, bool bKeepOldCopy)
{
    if (bKeepOldCopy && FileExists(m_strLocalPath))
        RenameOldCopy();

    SystemError error;
    if (!FileSystem::Move(strPartial, m_strLocalPath, &error))
    {
        // As above: a partial file left behind is replaced by the next attempt.
        (void)FileSystem::Delete(strPartial);
        m_nBytesReceived = 0;
        Report("Unable to create file [" + m_strLocalPath + "], error [" + std::to_string(error.code) + "].");
        return false;
    }
    m_bStoredAny = true;
    return true;
}

std::string CPageFetcher::StampedName(const std::string& strStamp) const
{
    // The stamp goes before the extension of the file name; a dot in a folder name is no extension.
    const size_t nameStart = m_strLocalPath.rfind('/') + 1;
    const size_t dot = m_strLocalPath.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return m_strLocalPath + strStamp;
    return m_strLocalPath.substr(0, dot) + strStamp + m_strLocalPath.substr(dot);
}

void CPageFetcher::RenameOldCopy()
{
    const std::optional<std::int64_t> created = FileSystem::GetWriteTime(m_strLocalPath);
    std::string strNewName = StampedName(
        TimeFormat::Local(kStampFormat, static_cast<std::time_t>(created.value_or(std::time(nullptr)))));
    if (FileExists(strNewName))
    {
        const std::string strNow = TimeFormat::LocalNow(kStampFormat);
        strNewName = StampedName(strNow);
        // Two renames within one second would otherwise overwrite the earlier old copy.
        for (int n = 2; FileExists(strNewName) && n <= kMaxStampVariants; ++n)
            strNewName = StampedName(strNow + "-" + std::to_string(n));
    }
    // When the move fails the old copy is overwritten, as it would be without this mode.
    (void)FileSystem::Move(m_strLocalPath, strNewName);
}
