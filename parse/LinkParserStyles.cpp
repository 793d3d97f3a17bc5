// Links named by stylesheets: url() and @import in files served as stylesheets and in the
// <style> blocks and style attributes of pages. They are queued as files, through the same
// resolution, start-folder, depth, duplicate and filter rules as the links of a page.
#include "parse/CssScanner.h"
#include "parse/HtmlStyleScanner.h"
#include "parse/LinkParser.h"
#include "parse/RobotsRules.h"
#include "platform/AsciiText.h"
#include "platform/LocalFile.h"

#include <algorithm>
#include <memory>

namespace
{

constexpr size_t kBlockSize = size_t{64} * 1024;
constexpr std::string_view kNotLinks[] = {"#", "mailto:", "ftp:", "file:", "data:", "javascript:", "about:"};

bool IsNotALink(std::string_view value)
{
    return std::any_of(std::begin(kNotLinks), std::end(kNotLinks),
                       [&](std::string_view prefix) { return AsciiText::StartsWithNoCase(value, prefix); });
}

std::string_view TrimBlanks(std::string_view value)
{
    while (!value.empty() && AsciiText::IsBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && AsciiText::IsBlank(value.back()))
        value.remove_suffix(1);
    return value;
}

} // namespace

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
    CHtmlStyleScanner scanner([this](std::string_view value) { AcceptStyleLink(value); });
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
    Scanner scanner([this](std::string_view value) { AcceptStyleLink(value); });
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

void CLinkParser::AcceptStyleLink(std::string_view value)
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
    if (Prepare(m_next, link, false))
        Queue(m_next);
}

bool CLinkParser::ClassifyStyleLink(std::string& link, LinkFate& fate) const
{
    fate = LinkFate::NotALink;
    link = std::string(TrimBlanks(link));
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

bool CLinkParser::RobotsAllow(const std::string& address) const
{
    const std::string_view object = address.starts_with(m_strServerRoot)
                                        ? std::string_view(address).substr(m_strServerRoot.size())
                                        : std::string_view(address);
    return m_pRobots->Allowed(object.empty() ? std::string_view("/") : object);
}
