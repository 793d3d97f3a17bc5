#include "parse/LinkParser.h"

#include "parse/AddressIndex.h"
#include "parse/AddressSteps.h"
#include "parse/CssScanner.h"
#include "parse/HtmlStyleScanner.h"
#include "parse/LineReader.h"
#include "parse/LineScan.h"
#include "parse/LinkDecoding.h"
#include "parse/OwnFiles.h"
#include "parse/RobotsRules.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"
#include "platform/AsciiText.h"
#include "platform/EngineContext.h"
#include "platform/LocalFile.h"
#include "platform/PathParts.h"
#include "platform/UrlParts.h"
#include "settings/RunSettings.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <utility>

namespace
{

constexpr std::string_view kPageExtensions = ".shtml;.html;.htm;";
constexpr std::string_view kDynamicExtensions = ".cgi;.pl;";
constexpr std::uintmax_t kMaxLineReserve = std::uintmax_t{64} * 1024 * 1024;

// The text from the last '.' after the last '/' or '\', dot included, as a path splitter takes it.
std::string Extension(const std::string& value)
{
    for (size_t i = value.size(); i-- > 0;)
    {
        if (value[i] == '/' || value[i] == '\\')
            break;
        if (value[i] == '.')
            return value.substr(i);
    }
    return {};
}

bool IsIgnoredScheme(const std::string& value)
{
    return AsciiText::StartsWithNoCase(value, "#") || AsciiText::StartsWithNoCase(value, "mailto:") ||
           AsciiText::StartsWithNoCase(value, "ftp:") || AsciiText::StartsWithNoCase(value, "file:");
}

// Such a byte would be cut off or split the address wherever it is written as one line or
// handed to a C interface, naming a different file than the one queued.
bool HoldsLineBreakOrZero(const std::string& value)
{
    return std::any_of(value.begin(), value.end(),
                       [](char c) { return c == '\0' || c == '\r' || c == '\n'; });
}

// For stylesheets.
constexpr size_t kBlockSize = size_t{64} * 1024;
constexpr std::string_view kNotLinks[] = {"#", "mailto:", "ftp:", "file:", "data:", "javascript:", "about:"};

bool IsNotALink(std::string_view value)
{
    return std::any_of(std::begin(kNotLinks), std::end(kNotLinks),
                       [&](std::string_view prefix) { return AsciiText::StartsWithNoCase(value, prefix); });
}

} // namespace

CLinkParser::CLinkParser(CUrlQueue* pQueue, const CVisitedList* pVisited, const RunSettings& settings,
                         IEngineContext* pContext)
    : m_pQueue(pQueue), m_pVisited(pVisited), m_pContext(pContext), m_filter(settings),
      m_nDepth(settings.nDepth)
{
}

bool CLinkParser::PassesFilter(const std::string& address) const
{
    return m_filter.Passes(address);
}

void CLinkParser::SetStartDir(const std::string& strStartDir)
{
    m_strStartDir = strStartDir;
}

void CLinkParser::SetServerRoot(const std::string& strServerRoot)
{
    m_strServerRoot = strServerRoot;
}

void CLinkParser::SetPage(const std::string& strPageUrl)
{
    m_strPageUrl = strPageUrl;

    // A page named by an .htm-like address sits in a folder; any other address is taken as one.
    if (PathParts::NamesHtml(strPageUrl))
    {
        const size_t slash = strPageUrl.rfind('/');
        m_strBaseUrl = slash == std::string::npos ? std::string() : strPageUrl.substr(0, slash + 1);
    }
    else
    {
        m_strBaseUrl = strPageUrl;
    }
    PathParts::AddFinalSlash(m_strBaseUrl);

    m_strSitePrefix.clear();
    m_strObjectFolder.assign(1, '/'); // not = "/": GCC 12 -O3 misreads that as an overlapping copy
    if (const std::optional<UrlParts> parts = UrlParts::Parse(strPageUrl))
    {
        m_strSitePrefix = parts->ServerRoot();
        const std::string& object = parts->object;
        m_strObjectFolder = object.back() == '/' ? object : object.substr(0, object.rfind('/') + 1);
    }
}

bool CLinkParser::ParseFile(const std::string& path)
{
    CLineReader reader;
    if (!reader.Open(path))
    {
        Fail(std::string("Unable to open file [").append(path).append("]"));
        return false;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    ParseLines(reader, error ? 0 : size);
    if (reader.Failed())
    {
        Fail(std::string("Unable to read file [").append(path).append("]: ").append(reader.LastError().text));
        return false;
    }
    return true;
}

void CLinkParser::ParseText(std::string_view text)
{
    CLineReader reader;
    reader.OpenText(text);
    ParseLines(reader, text.size());
}

void CLinkParser::ParseLines(CLineReader& reader, std::uintmax_t nSize)
{
    // A page may be one line: room for all of it saves copying it again and again as it grows.
    std::string line;
    line.reserve(static_cast<size_t>(std::min<std::uintmax_t>(nSize, kMaxLineReserve)));
    while (reader.ReadLine(line))
    {
        if (m_pSites != nullptr)
        {
            m_raw.nStart = reader.LineStart();
            m_raw.bRead = true;
            // A line without '&' or '%' decodes to itself: nothing to keep or track.
            m_raw.bSame = line.find_first_of("&%") == std::string::npos;
            if (!m_raw.bSame)
            {
                m_raw.text = line;
                LinkDecoding::DecodeTracked(line, m_raw.origins);
            }
        }
        else
        {
            LinkDecoding::DecodeEntities(line);
            LinkDecoding::DecodeEscapes(line);
        }
        AcceptLinks(line);
    }
    m_raw.bRead = false;
}

void CLinkParser::Fail(const std::string& strMessage)
{
    m_strLastError = strMessage;
    // A line the log refuses has been shown to the user already.
    if (m_pContext != nullptr)
        (void)m_pContext->WriteErrorLog(m_strLastError, false);
}

// Each link is queued only once the next one has been found: its look-ups in the visited list
// and the queue touch large tables at random, and finding the next link meanwhile hides most of
// the wait for memory. Neither the scan nor the filter depends on the queue, so the queue sees
// the same operations in the same order.
void CLinkParser::AcceptLinks(const std::string& line)
{
    CLineScan scan(line, m_strLower);
    std::string link;
    bool bPage = false;
    bool bWaiting = false;
    while (NextLink(scan, link, bPage))
    {
        if (m_pReport != nullptr)
            m_next.found = m_strFound;
        const bool bPrepared = Prepare(m_next, link, bPage);
        if (m_pSites != nullptr)
            AddSite(scan, m_next.address);
        if (!bPrepared)
            continue;
        // A report lists the links in page order, so each is queued at once.
        if (m_pReport != nullptr)
        {
            Queue(m_next);
            continue;
        }
        if (bWaiting)
            Queue(m_waiting);
        std::swap(m_waiting, m_next);
        bWaiting = true;
    }
    if (bWaiting)
        Queue(m_waiting);
}

// Resolves the link into an address worth looking up and starts loading what the look-ups need.
bool CLinkParser::Prepare(Candidate& candidate, const std::string& link, bool bPage)
{
    std::string& address = candidate.address;
    address = link.front() == '/' ? m_strServerRoot : m_strBaseUrl;
    address += link;
    AddressSteps::ResolveParentSteps(address);
    AddressSteps::CollapseSlashes(address);
    if (address.find(m_strStartDir) == std::string::npos)
    {
        Report(candidate.found, address, LinkFate::OutsideStartFolder);
        return false;
    }
    if (!DepthAllowed(address))
    {
        Report(candidate.found, address, LinkFate::TooDeep);
        return false;
    }
    if (NamesOwnFile(address))
    {
        Report(candidate.found, address, LinkFate::RunsOwnFile);
        return false;
    }
    if (m_pRobots != nullptr && !RobotsAllow(address))
    {
        Report(candidate.found, address, LinkFate::DisallowedByRobots);
        return false;
    }
    candidate.hash = CAddressIndex::Hash(address);
    candidate.bPage = bPage;
    m_pVisited->Prefetch(candidate.hash);
    m_pQueue->Prefetch(candidate.hash);
    return true;
}

void CLinkParser::Queue(const Candidate& candidate)
{
    const std::string& address = candidate.address;
    if (m_pVisited->Contains(address, candidate.hash))
    {
        Report(candidate.found, address, LinkFate::AlreadyKnown);
        return;
    }
    // Pages are fetched even when the filter rejects them, so that their links are followed.
    if (candidate.bPage)
    {
        const bool bKeep = PassesFilter(address);
        const bool bQueued = m_pQueue->PushBackIfAbsent(address, candidate.hash, bKeep);
        Report(candidate.found, address,
               !bQueued ? LinkFate::AlreadyKnown
                        : (bKeep ? LinkFate::QueuedAsPage : LinkFate::LeftOutByFilterReadForLinks));
    }
    else if (PassesFilter(address))
    {
        const bool bQueued = m_pQueue->PushFrontIfAbsent(address, candidate.hash, true);
        Report(candidate.found, address, bQueued ? LinkFate::QueuedAsFile : LinkFate::AlreadyKnown);
    }
    else
        Report(candidate.found, address, LinkFate::LeftOutByFilter);
}

// The value's bytes in the page run from where its first decoded byte came from to the delimiter
// the scan stopped at, or, when the scan stopped at a blank or a '?' inside the value as written,
// on to where the value as written ends: its closing quote, or a blank or '>' for one unquoted.
void CLinkParser::AddSite(const CLineScan& scan, const std::string& address) const
{
    const std::string_view line = scan.Line();
    // A line given without its raw text (AcceptLinks called on its own) has no place in a page.
    if (!m_raw.bRead)
        return;
    const std::string_view raw = m_raw.bSame ? line : std::string_view(m_raw.text);
    const auto origin = [&](size_t i) { return m_raw.bSame ? i : size_t{m_raw.origins[i]}; };
    const size_t nBegin = origin(scan.ValueBegin());
    const size_t nCut = scan.ValueEnd() < line.size() ? origin(scan.ValueEnd()) : raw.size();
    const char delimiter = scan.ValueEnd() < line.size() ? line[scan.ValueEnd()] : '\0';
    size_t nEnd = nCut;
    bool bCut = false;
    if (delimiter == ' ' || delimiter == '?')
    {
        const char quote = nBegin > 0 ? raw[nBegin - 1] : '\0';
        const bool bQuoted = quote == '"' || quote == '\'';
        const size_t found =
            bQuoted ? raw.find(quote, nCut) : raw.find_first_of(std::string_view(" \t>\"'", 5), nCut);
        nEnd = found == std::string::npos ? nCut : found;
        // A blank never ends a quoted value; a '?' as written starts the query, one an escape
        // stands for is part of the name.
        bCut = delimiter == ' ' ? bQuoted || nEnd > nCut : raw[nCut] != '?';
    }
    // The scan drops what follows a '#'; one an escape stands for is part of the name.
    const std::string_view value =
        std::string_view(line).substr(scan.ValueBegin(), scan.ValueEnd() - scan.ValueBegin());
    const size_t hash = value.find('#');
    if (hash != std::string_view::npos && raw[origin(scan.ValueBegin() + hash)] != '#')
        bCut = true;
    m_pSites->push_back(LinkSite{m_raw.nStart + nBegin, m_raw.nStart + nEnd, address, bCut});
}

void CLinkParser::Report(std::string_view value, std::string_view address, LinkFate fate) const
{
    if (m_pReport != nullptr)
        m_pReport->Report(m_strPageUrl, value, address, fate);
}

bool CLinkParser::NextLink(CLineScan& scan, std::string& link, bool& bPage) const
{
    bPage = false;
    while (scan.Next(link))
    {
        if (m_pReport != nullptr)
            m_strFound = link;
        if (link.empty() || IsIgnoredScheme(link) || HoldsLineBreakOrZero(link))
        {
            Report(link, {}, LinkFate::NotALink);
            continue;
        }
        if (link.starts_with("http"))
        {
            // The prefix must end the host: "http://hostile/" is not on "http://host".
            const bool bSameSite =
                !m_strSitePrefix.empty() && link.starts_with(m_strSitePrefix) &&
                (link.size() == m_strSitePrefix.size() || link[m_strSitePrefix.size()] == '/');
            if (!bSameSite)
            {
                Report(link, link, LinkFate::AnotherServer);
                continue;
            }
            link.erase(0, m_strSitePrefix.size());
        }
        if (link.starts_with('/') && link.starts_with(m_strObjectFolder))
            link.erase(0, m_strObjectFolder.size());
        if (link.starts_with("./"))
            link.erase(0, 2);
        if (link == "\\")
            link.clear();
        const size_t hash = link.find('#');
        if (hash != std::string::npos)
            link.erase(hash);
        if (link.empty())
        {
            // The page's own folder, named in full: not followed, but a place a browser goes to.
            if (m_pSites != nullptr && !scan.Line().substr(scan.ValueBegin()).starts_with('#'))
                AddSite(scan, m_strSitePrefix + m_strObjectFolder);
            Report(m_strFound, {}, LinkFate::NotALink);
            continue;
        }

        const std::string extension = Extension(link);
        if (extension.empty())
        {
            PathParts::AddFinalSlash(link);
            bPage = true;
            return true;
        }
        const std::string listed = extension + ';';
        if (kPageExtensions.find(listed) != std::string_view::npos)
        {
            bPage = true;
            return true;
        }
        if (kDynamicExtensions.find(listed) != std::string_view::npos)
        {
            // Never fetched, so never in the mirror: it can only lead to its address.
            if (m_pSites != nullptr)
                AddSite(scan, {});
            Report(m_strFound, {}, LinkFate::NotALink);
            continue;
        }
        return true;
    }
    return false;
}

bool CLinkParser::ScanLink(const std::string& text, std::string& link, std::string& rest)
{
    CLineScan scan(text);
    const bool bFound = scan.Next(link);
    rest = bFound ? std::string(scan.Rest()) : std::string();
    return bFound;
}

bool CLinkParser::DepthAllowed(const std::string& address) const
{
    if (m_nDepth == 0)
        return true;
    size_t nSlashes = 0;
    for (size_t i = m_strStartDir.size(); i < address.size(); ++i)
        nSlashes += address[i] == '/';
    return nSlashes < m_nDepth;
}

// Links named by stylesheets: url() and @import in files served as stylesheets and in the
// <style> blocks and style attributes of pages. They are queued as files, through the same
// resolution, start-folder, depth, duplicate and filter rules as the links of a page.
void CLinkParser::SetStylesheet(const std::string& strUrl)
{
    SetPage(strUrl);
    const size_t slash = strUrl.rfind('/');
    m_strBaseUrl = slash == std::string::npos ? std::string("/") : strUrl.substr(0, slash + 1);
}

bool CLinkParser::ParseStylesheet(const std::string& path)
{
    return ParseStyleFile<CCssScanner>(path);
}

bool CLinkParser::ParseStyles(const std::string& path)
{
    return ParseStyleFile<CHtmlStyleScanner>(path);
}

void CLinkParser::ParseStylesText(std::string_view text)
{
    const CHtmlStyleScanner* pScanner = nullptr;
    CHtmlStyleScanner scanner(
        [this, &pScanner](std::string_view value)
        {
            const CCssScanner::Span span = pScanner->LastSpan();
            AcceptStyleLink(value, span.begin, span.end);
        });
    pScanner = &scanner;
    scanner.Feed(text);
    scanner.Finish();
}

template <typename Scanner>
bool CLinkParser::ParseStyleFile(const std::string& path)
{
    CLocalFile file;
    if (!file.Open(path, CLocalFile::Mode::ReadExisting))
    {
        Fail(std::string("Unable to open file [").append(path).append("]"));
        return false;
    }
    const Scanner* pScanner = nullptr;
    Scanner scanner(
        [this, &pScanner](std::string_view value)
        {
            const CCssScanner::Span span = pScanner->LastSpan();
            AcceptStyleLink(value, span.begin, span.end);
        });
    pScanner = &scanner;
    const std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(kBlockSize);
    for (;;)
    {
        const long count = file.Read(block.get(), kBlockSize);
        if (count < 0)
        {
            Fail(std::string("Unable to read file [")
                     .append(path)
                     .append("]: ")
                     .append(file.LastError().text));
            return false;
        }
        if (count == 0)
            break;
        scanner.Feed(std::string_view(block.get(), static_cast<size_t>(count)));
    }
    scanner.Finish();
    return true;
}

void CLinkParser::AcceptStyleLink(std::string_view value, std::uint64_t nBegin, std::uint64_t nEnd)
{
    std::string link(value);
    LinkFate fate = LinkFate::NotALink;
    if (!ClassifyStyleLink(link, fate))
    {
        Report(value, fate == LinkFate::AnotherServer ? std::string_view(value) : std::string_view(), fate);
        return;
    }
    if (m_pReport != nullptr)
        m_next.found = value;
    const bool bPrepared = Prepare(m_next, link, false);
    if (m_pSites != nullptr)
        m_pSites->push_back(LinkSite{nBegin, nEnd, m_next.address, false});
    if (bPrepared)
        Queue(m_next);
}

bool CLinkParser::ClassifyStyleLink(std::string& link, LinkFate& fate) const
{
    fate = LinkFate::NotALink;
    link = std::string(AsciiText::Trim(link));
    if (link.empty() || IsNotALink(link) ||
        link.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos)
        return false;
    // The query and the fragment name no other file, as on a page.
    link.erase(std::min(link.find_first_of("?#"), link.size()));
    // "//host/x" keeps the scheme of the page it is on.
    if (link.starts_with("//"))
        link.insert(0, m_strSitePrefix.substr(0, m_strSitePrefix.find("://") + 1));
    if (AsciiText::StartsWithNoCase(link, "http://") || AsciiText::StartsWithNoCase(link, "https://"))
    {
        const bool bSameSite = !m_strSitePrefix.empty() && link.starts_with(m_strSitePrefix) &&
                               (link.size() == m_strSitePrefix.size() || link[m_strSitePrefix.size()] == '/');
        if (!bSameSite)
        {
            fate = LinkFate::AnotherServer;
            return false;
        }
        link.erase(0, m_strSitePrefix.size());
    }
    while (link.starts_with("./"))
        link.erase(0, 2);
    return !link.empty();
}

bool CLinkParser::NamesOwnFile(const std::string& address)
{
    if (m_pOwnFiles == nullptr)
        return false;
    const std::optional<std::string> replaced = m_pOwnFiles->Replaced(address);
    if (!replaced)
        return false;
    if (m_pContext != nullptr && m_ownFileAddresses.insert(address).second)
        (void)m_pContext->WriteErrorLog("Refusing to store [" + address +
                                            "]: it would replace the run's own file [" + *replaced + "].",
                                        false);
    return true;
}

bool CLinkParser::RobotsAllow(const std::string& address) const
{
    const std::string_view object = address.starts_with(m_strServerRoot)
                                        ? std::string_view(address).substr(m_strServerRoot.size())
                                        : std::string_view(address);
    return m_pRobots->Allowed(object.empty() ? std::string_view("/") : object);
}
