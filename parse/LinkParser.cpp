#include "parse/LinkParser.h"

#include "app/MainApp.h"
#include "parse/LineReader.h"
#include "parse/LineScan.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"
#include "platform/AsciiText.h"
#include "platform/UrlParts.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"

#include <algorithm>

namespace
{

constexpr std::string_view kPageExtensions = ".shtml;.html;.htm;";
constexpr std::string_view kDynamicExtensions = ".cgi;.pl;";

// The text from the last '.' after the last '/' or '\', dot included, as a path splitter takes it.
std::string Extension(const std::string& value)
{
    const size_t dot = value.rfind('.');
    if (dot == std::string::npos)
        return {};
    const size_t separator = value.find_last_of("/\\");
    if (separator != std::string::npos && separator > dot)
        return {};
    return value.substr(dot);
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

} // namespace

CLinkParser::CLinkParser(CUrlQueue* pQueue, const CVisitedList* pVisited)
    : m_pQueue(pQueue), m_pVisited(pVisited)
{
    ReadSettings();
}

void CLinkParser::ReadSettings()
{
    CRegistryKey key;
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return;

    std::uint32_t nUseFilters = 0;
    if (key.ReadDword(nUseFilters, kValueUseFilters) && nUseFilters > 0)
    {
        m_bUseFilters = true;
        std::uint32_t nExclude = 0;
        if (key.ReadDword(nExclude, kValueFilterExclude))
            m_bExclude = nExclude > 0;
        std::string strFilter;
        if (key.ReadString(strFilter, kValueFilter))
        {
            // Entries are joined without a trailing ';', so the text after the last one is an
            // entry too, even when empty.
            size_t start = 0;
            for (size_t semicolon; (semicolon = strFilter.find(';', start)) != std::string::npos;
                 start = semicolon + 1)
                m_filters.push_back(strFilter.substr(start, semicolon - start));
            m_filters.push_back(strFilter.substr(start));
        }
    }

    std::uint32_t nDepth = 0;
    if (key.ReadDword(nDepth, kValueDepth))
        m_nDepth = nDepth;
    key.Close();
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
    if (strPageUrl.find(".htm") != std::string::npos || strPageUrl.find(".shtm") != std::string::npos)
    {
        const size_t slash = strPageUrl.rfind('/');
        m_strBaseUrl = slash == std::string::npos ? std::string() : strPageUrl.substr(0, slash + 1);
    }
    else
    {
        m_strBaseUrl = strPageUrl;
    }
    if (m_strBaseUrl.empty() || m_strBaseUrl.back() != '/')
        m_strBaseUrl += '/';

    m_strSitePrefix.clear();
    m_strObjectFolder.assign(1, '/'); // not = "/": GCC 12 -O3 misreads that as an overlapping copy
    if (const std::optional<UrlParts> parts = UrlParts::Parse(strPageUrl))
    {
        m_strSitePrefix = std::string("http://").append(parts->Authority());
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
    for (std::string line; reader.ReadLine(line);)
    {
        DecodeEntities(line);
        DecodeEscapes(line);
        AcceptLinks(line);
    }
    if (reader.Failed())
    {
        Fail(std::string("Unable to read file [").append(path).append("]: ").append(reader.LastError().text));
        return false;
    }
    return true;
}

void CLinkParser::Fail(const std::string& strMessage)
{
    m_strLastError = strMessage;
    if (CMainApp* pApp = CMainApp::Instance())
        pApp->WriteErrorLog(m_strLastError, false);
}

void CLinkParser::AcceptLinks(const std::string& line)
{
    CLineScan scan(line);
    std::string link;
    bool bPage = false;
    while (NextLink(scan, link, bPage))
    {
        m_strAddress = link.front() == '/' ? m_strServerRoot : m_strBaseUrl;
        m_strAddress += link;
        Accept(m_strAddress, bPage);
    }
}

void CLinkParser::Accept(std::string& address, bool bPage)
{
    ResolveParentSteps(address);
    CollapseSlashes(address);
    if (address.find(m_strStartDir) == std::string::npos || !DepthAllowed(address))
        return;
    if (m_pVisited->Contains(address))
        return;
    // Pages are fetched even when the filter rejects them, so that their links are followed.
    if (bPage)
        m_pQueue->PushBackIfAbsent(address, PassesFilter(address));
    else if (PassesFilter(address))
        m_pQueue->PushFrontIfAbsent(address, true);
}

bool CLinkParser::NextLink(CLineScan& scan, std::string& link, bool& bPage) const
{
    bPage = false;
    while (scan.Next(link))
    {
        if (link.empty() || IsIgnoredScheme(link) || HoldsLineBreakOrZero(link))
            continue;
        if (link.starts_with("http"))
        {
            // The prefix must end the host: "http://hostile/" is not on "http://host".
            const bool bSameSite =
                !m_strSitePrefix.empty() && link.starts_with(m_strSitePrefix) &&
                (link.size() == m_strSitePrefix.size() || link[m_strSitePrefix.size()] == '/');
            if (!bSameSite)
                continue;
            link.erase(0, m_strSitePrefix.size());
        }
        if (link.starts_with('/') && link.starts_with(m_strObjectFolder))
            link.erase(0, m_strObjectFolder.size());
        if (link.starts_with("./"))
            link.erase(0, 2);
        if (link == "\\")
            link.clear();
        if (link.empty())
            continue;
        const size_t hash = link.find('#');
        if (hash != std::string::npos)
            link.erase(hash);
        if (link.empty())
            continue;

        const std::string extension = Extension(link);
        if (extension.empty())
        {
            if (link.back() != '/')
                link += '/';
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
            continue;
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

namespace
{

// Rewrites `line` in place, moving the stretches between markers in bulk. At each marker,
// `decode(pos, out)` sets the byte that stands for the text there and returns how many bytes it
// stands for (at least 1). Bytes before the read position are never read again.
template <typename Decode>
void RewriteAtMarkers(std::string& line, char marker, Decode decode)
{
    size_t read = line.find(marker);
    if (read == std::string::npos)
        return;
    size_t write = read;
    while (read < line.size())
    {
        char out = 0;
        read += decode(read, out);
        line[write++] = out;
        const size_t next = std::min(line.find(marker, read), line.size());
        std::copy(line.begin() + static_cast<std::ptrdiff_t>(read),
                  line.begin() + static_cast<std::ptrdiff_t>(next),
                  line.begin() + static_cast<std::ptrdiff_t>(write));
        write += next - read;
        read = next;
    }
    line.resize(write);
}

unsigned EscapeDigit(char c)
{
    const unsigned char upper = static_cast<unsigned char>(AsciiText::ToUpper(c));
    return AsciiText::IsDigit(c) ? upper - 48u : upper - 55u;
}

} // namespace

// One left-to-right pass. Only the '&' just kept can start a new "&amp;" (the pattern holds no
// other '&'), so re-checking that position gives what restarting from the beginning would. And
// since "quot;" holds no '&', a "&quot;" left by the first loop is an '&' directly followed by
// "quot;" in the text: both loops' results come from one look at each '&'.
void CLinkParser::DecodeEntities(std::string& line)
{
    static constexpr std::string_view kAmpTail = "amp;";
    static constexpr std::string_view kQuotTail = "quot;";

    RewriteAtMarkers(line, '&',
                     [&line](size_t pos, char& out)
                     {
                         const std::string_view text(line);
                         size_t end = pos + 1;
                         while (text.substr(end).starts_with(kAmpTail))
                             end += kAmpTail.size();
                         const bool bQuot = text.substr(end).starts_with(kQuotTail);
                         out = bQuot ? '"' : '&';
                         return end - pos + (bQuot ? kQuotTail.size() : 0);
                     });
}

// Any letter counts, not only A to F: "%ZZ" gives (35 * 16 + 35) & 0xFF.
void CLinkParser::DecodeEscapes(std::string& line)
{
    RewriteAtMarkers(line, '%',
                     [&line](size_t pos, char& out)
                     {
                         if (pos + 2 < line.size() && AsciiText::IsAlnum(line[pos + 1]) &&
                             AsciiText::IsAlnum(line[pos + 2]))
                         {
                             out = static_cast<char>(
                                 (EscapeDigit(line[pos + 1]) * 16 + EscapeDigit(line[pos + 2])) & 0xFF);
                             return size_t{3};
                         }
                         out = '%';
                         return size_t{1};
                     });
}

// Each ".." takes away the folder before it, the way a loop that rewrites the address at its
// first ".." until none is left would, in one pass: `out` holds the rewritten text before the
// read position and never holds "..", so the next ".." either joins its last character to the
// next one or lies ahead.
void CLinkParser::ResolveParentSteps(std::string& address)
{
    if (address.find("..") == std::string::npos)
        return;
    std::string out;
    out.reserve(address.size());
    const auto dropFolder = [&out]
    {
        if (!out.empty())
            out.pop_back(); // the '/' before the dots
        const size_t slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };

    size_t read = 0;
    for (;;)
    {
        if (!out.empty() && out.back() == '.' && read < address.size() && address[read] == '.')
        {
            out.pop_back();
            dropFolder();
            read += 1;
            continue;
        }
        const size_t dots = address.find("..", read);
        if (dots == std::string::npos)
            break;
        out.append(address, read, dots - read);
        dropFolder();
        read = dots + 2;
    }
    out.append(address, read);
    address = std::move(out);
}

// One pass; past the scheme's "//", the first of two slashes is dropped and the walk goes on
// after the second. The last character is always kept, so a doubled slash at the end stays.
void CLinkParser::CollapseSlashes(std::string& address)
{
    if (address.find("//", 7) == std::string::npos)
        return;
    std::string out;
    out.reserve(address.size());
    const size_t last = address.size() - 1;
    for (size_t i = 0; i < last; ++i)
    {
        if (i > 6 && address[i] == '/' && address[i + 1] == '/')
            ++i;
        out += address[i];
    }
    out += address[last];
    address = std::move(out);
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

bool CLinkParser::PassesFilter(const std::string& address) const
{
    if (!m_bUseFilters || m_filters.empty())
        return true;
    bool bMatch = false;
    for (const std::string& entry : m_filters)
    {
        if (MatchPattern(address, entry))
        {
            bMatch = true;
            break;
        }
    }
    return m_bExclude ? !bMatch : bMatch;
}

bool CLinkParser::MatchPattern(const std::string& address, const std::string& entry)
{
    if (entry.empty())
        return false;
    if (entry == "*")
        return true;

    std::string_view core = entry;
    const bool bLeading = core.front() == '*';
    if (bLeading)
        core.remove_prefix(1);
    const bool bTrailing = !core.empty() && entry.back() == '*';
    if (bTrailing)
        core.remove_suffix(1);
    if (core.empty())
        return true;

    const std::string lowerCore = AsciiText::ToLower(core);
    const std::string lowerAddress = AsciiText::ToLower(address);
    const long found = lowerCore.find('?') == std::string::npos
                           ? static_cast<long>(lowerAddress.find(lowerCore))
                           : FindWildcard(lowerAddress, lowerCore);
    if (found < 0)
        return false;
    if (bTrailing)
        return true;
    if (bLeading)
        return static_cast<size_t>(found) + lowerCore.size() == lowerAddress.size();
    return lowerAddress.size() == entry.size();
}

long CLinkParser::FindWildcard(std::string_view text, std::string_view pattern)
{
    if (pattern.size() > text.size())
        return -1;
    for (size_t start = 0; start + pattern.size() <= text.size(); ++start)
    {
        size_t i = 0;
        while (i < pattern.size() && (pattern[i] == '?' || pattern[i] == text[start + i]))
            ++i;
        if (i == pattern.size())
            return static_cast<long>(start);
    }
    return -1;
}
