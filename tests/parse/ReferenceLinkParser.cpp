#include "ReferenceLinkParser.h"

namespace
{

const std::string::size_type npos = std::string::npos;

std::string Lowered(std::string text)
{
    for (char& c : text)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return text;
}

bool Begins(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void TrimLeftBlanks(std::string& text)
{
    while (!text.empty() && IsBlank(text[0]))
        text.erase(0, 1);
}

bool IsLetterOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

void CReferenceLinkParser::DecodeEntities(std::string& line)
{
    for (size_t at = line.find("&amp;"); at != npos; at = line.find("&amp;"))
        line.erase(at + 1, 4);
    for (size_t at = line.find("&quot;"); at != npos; at = line.find("&quot;"))
        line.replace(at, 6, 1, '"');
}

void CReferenceLinkParser::DecodeEscapes(std::string& line)
{
    size_t from = 0;
    for (size_t at = line.find('%', from); at != npos; at = line.find('%', from))
    {
        if (at + 2 < line.size() && IsLetterOrDigit(line[at + 1]) && IsLetterOrDigit(line[at + 2]))
        {
            int code = 0;
            for (int k = 1; k <= 2; ++k)
            {
                char c = line[at + k];
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
                code = code * 16 + ((c >= '0' && c <= '9') ? c - 48 : c - 55);
            }
            line.replace(at, 3, 1, static_cast<char>(code & 0xFF));
            from = at + 1;
        }
        else
        {
            from = at + 1;
        }
    }
}

bool CReferenceLinkParser::ScanLink(const std::string& text, std::string& link, std::string& rest)
{
    link.clear();
    rest.clear();
    const std::string lower = Lowered(text);
    if (Begins(lower, "<script"))
        return false;
    const size_t src = lower.find("src");
    const size_t open = lower.find(".open");
    const size_t href = lower.find(".href") == npos ? lower.find("href") : npos;
    if (src == npos && open == npos && href == npos)
        return false;

    std::string cut;
    if (open != npos && (src == npos || open < src) && (href == npos || open < href))
        cut = text.substr(open + 5);
    else if (href != npos && (src == npos || href < src))
        cut = text.substr(href + 4);
    else
        cut = text.substr(src + 3);

    TrimLeftBlanks(cut);
    if (cut.empty() || (cut[0] != '=' && cut[0] != '('))
        return false;
    cut.erase(0, 1);
    TrimLeftBlanks(cut);
    if (!cut.empty() && cut[0] == '"')
        cut.erase(0, 1);
    if (!cut.empty() && cut[0] == '\'')
        cut.erase(0, 1);

    size_t end = npos;
    for (char delimiter : std::string("'\">? "))
    {
        const size_t at = cut.find(delimiter);
        if (at != npos && (end == npos || at < end))
            end = at;
    }
    if (end == npos)
        return false;
    link = cut.substr(0, end);
    rest = cut.substr(end);
    if (Begins(link, "HTTP"))
        link.replace(0, 4, "http");
    if (!link.empty() && link[0] == '<')
        return false;
    return true;
}

void CReferenceLinkParser::SetPage(const std::string& url)
{
    m_pageUrl = url;
    if (url.find(".htm") != npos || url.find(".shtm") != npos)
        m_baseUrl = url.substr(0, url.rfind('/') + 1);
    else
        m_baseUrl = url;
    if (m_baseUrl.empty() || m_baseUrl[m_baseUrl.size() - 1] != '/')
        m_baseUrl += "/";
}

bool CReferenceLinkParser::NextLink(std::string& text, std::string& link, bool& page) const
{
    const size_t hostStart = m_pageUrl.find("://") + 3;
    const size_t objectStart = m_pageUrl.find('/', hostStart);
    const std::string prefix = std::string("http://").append(m_pageUrl, hostStart, objectStart - hostStart);
    const std::string object = objectStart == npos ? "/" : m_pageUrl.substr(objectStart);
    const std::string folder =
        object[object.size() - 1] == '/' ? object : object.substr(0, object.rfind('/') + 1);

    page = false;
    for (;;)
    {
        std::string rest;
        if (!ScanLink(text, link, rest))
            return false;
        text = rest;

        const std::string lower = Lowered(link);
        if (link.empty() || Begins(lower, "#") || Begins(lower, "mailto:") || Begins(lower, "ftp:") ||
            Begins(lower, "file:"))
            continue;
        if (link.find('\0') != npos || link.find('\r') != npos || link.find('\n') != npos)
            continue;
        if (Begins(link, "http"))
        {
            if (!Begins(link, prefix + "/") && link != prefix)
                continue;
            link = link.substr(prefix.size());
        }
        if (Begins(link, "/") && Begins(link, folder))
            link = link.substr(folder.size());
        if (Begins(link, "./"))
            link = link.substr(2);
        if (link == "\\")
            link = "";
        if (link.empty())
            continue;
        if (link.find('#') != npos)
            link = link.substr(0, link.find('#'));
        if (link.empty())
            continue;

        std::string extension;
        const size_t dot = link.rfind('.');
        const size_t slash = link.rfind('/');
        const size_t backslash = link.rfind('\\');
        if (dot != npos && (slash == npos || slash < dot) && (backslash == npos || backslash < dot))
            extension = link.substr(dot);
        if (extension.empty())
        {
            if (link[link.size() - 1] != '/')
                link += "/";
            page = true;
            return true;
        }
        if (std::string(".shtml;.html;.htm;").find(extension + ";") != npos)
        {
            page = true;
            return true;
        }
        if (std::string(".cgi;.pl;").find(extension + ";") != npos)
            continue;
        return true;
    }
}

void CReferenceLinkParser::AcceptLinks(const std::string& line)
{
    std::string text = line;
    std::string link;
    bool page = false;
    while (NextLink(text, link, page))
    {
        std::string address = (link[0] == '/' ? m_serverRoot : m_baseUrl) + link;
        ResolveParentSteps(address);
        CollapseSlashes(address);
        if (address.find(m_startDir) == npos || !DepthAllowed(address))
            continue;
        bool known = false;
        for (const std::string& visited : m_visited)
            known = known || visited == address;
        for (const auto& queued : m_queue)
            known = known || queued.first == address;
        if (known)
            continue;
        if (page)
            PushBack(address, PassesFilter(address));
        else if (PassesFilter(address))
            PushFront(address, true);
    }
}

void CReferenceLinkParser::ParseText(const std::string& text)
{
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == npos ? npos : end - start);
        if (end != npos && !line.empty() && line[line.size() - 1] == '\r')
            line.erase(line.size() - 1);
        DecodeEntities(line);
        DecodeEscapes(line);
        AcceptLinks(line);
        if (end == npos)
            break;
        start = end + 1;
    }
}

void CReferenceLinkParser::ResolveParentSteps(std::string& address)
{
    while (address.find("..") != npos)
    {
        const size_t dots = address.find("..");
        std::string before = address.substr(0, dots);
        if (!before.empty())
            before.erase(before.size() - 1);
        const size_t slash = before.rfind('/');
        before = slash == npos ? "" : before.substr(0, slash);
        address = before + address.substr(dots + 2);
    }
}

void CReferenceLinkParser::CollapseSlashes(std::string& address)
{
    if (address.empty())
        return;
    std::string result;
    for (size_t i = 0; i + 1 < address.size(); ++i)
    {
        if (i > 6 && address[i] == '/' && address[i + 1] == '/')
            ++i;
        result += address[i];
    }
    result += address[address.size() - 1];
    address = result;
}

bool CReferenceLinkParser::DepthAllowed(const std::string& address) const
{
    if (m_settings.nDepth == 0)
        return true;
    const std::string tail = address.size() > m_startDir.size() ? address.substr(m_startDir.size()) : "";
    std::uint32_t slashes = 0;
    for (char c : tail)
        slashes += c == '/' ? 1 : 0;
    return slashes < m_settings.nDepth;
}

bool CReferenceLinkParser::PassesFilter(const std::string& address) const
{
    if (!m_settings.bUseFilters || m_settings.filters.empty())
        return true;
    bool matched = false;
    for (const std::string& entry : m_settings.filters)
        matched = matched || MatchPattern(address, entry);
    return m_settings.bExclude ? !matched : matched;
}

bool CReferenceLinkParser::MatchPattern(const std::string& address, const std::string& entry)
{
    if (entry.empty())
        return false;
    if (entry == "*")
        return true;
    std::string core = entry;
    const bool leading = core[0] == '*';
    if (leading)
        core.erase(0, 1);
    const bool trailing = !core.empty() && entry[entry.size() - 1] == '*';
    if (trailing)
        core.erase(core.size() - 1);
    if (core.empty())
        return true;
    core = Lowered(core);
    const std::string lower = Lowered(address);
    const long at = core.find('?') == npos ? (lower.find(core) == npos ? -1 : long(lower.find(core)))
                                           : FindWildcard(lower, core);
    if (at == -1)
        return false;
    if (trailing)
        return true;
    if (leading)
        return size_t(at) + core.size() == lower.size();
    return lower.size() == entry.size();
}

long CReferenceLinkParser::FindWildcard(const std::string& text, const std::string& pattern)
{
    size_t start = 0;
    size_t i = 0;
    size_t k = 0;
    while (start + pattern.size() <= text.size())
    {
        if (k == pattern.size())
            return long(start);
        if (pattern[k] == '?' || pattern[k] == text[i])
        {
            ++i;
            ++k;
        }
        else
        {
            ++start;
            i = start;
            k = 0;
        }
    }
    return -1;
}

void CReferenceLinkParser::PushBack(const std::string& address, bool keep)
{
    m_queue.push_back({address, keep});
    if (m_listBox.size() < 11)
        m_listBox.push_back(address);
}

void CReferenceLinkParser::PushFront(const std::string& address, bool keep)
{
    m_queue.insert(m_queue.begin(), {address, keep});
    m_listBox.insert(m_listBox.begin(), address);
}

std::string CReferenceLinkParser::PopFront()
{
    m_listBox.erase(m_listBox.begin());
    if (m_listBox.size() <= 10)
    {
        for (size_t i = 0; i < m_queue.size(); ++i)
        {
            if (m_listBox.size() > 10)
                break;
            if (i > m_listBox.size())
                m_listBox.push_back(m_queue[i].first);
        }
    }
    const std::string head = m_queue.front().first;
    m_queue.erase(m_queue.begin());
    return head;
}
