#include "parse/LinkConverter.h"

#include "parse/LinkDecoding.h"

#include <algorithm>

namespace
{

constexpr std::string_view kIndexName = "index.html";

bool NeedsEscape(unsigned char c)
{
    // Bytes outside printable ASCII are written as escapes of themselves, so a file name in any
    // encoding is found byte for byte.
    if (c <= 0x20 || c >= 0x7F)
        return true;
    return std::string_view("%?#\"'<>&\\()").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsSchemeChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// "scheme:" before any '/', '?' or '#'.
bool HasScheme(std::string_view value)
{
    const size_t colon = value.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const std::string_view scheme = value.substr(0, colon);
    const bool bLetterFirst =
        (scheme[0] >= 'a' && scheme[0] <= 'z') || (scheme[0] >= 'A' && scheme[0] <= 'Z');
    return bLetterFirst && std::all_of(scheme.begin(), scheme.end(), IsSchemeChar);
}

// The length of "scheme://host[:port]" at the start of `url`, 0 when it has none.
size_t RootLength(std::string_view url)
{
    const size_t marker = url.find("://");
    if (marker == std::string_view::npos)
        return 0;
    return std::min(url.find_first_of("/?#", marker + 3), url.size());
}

// Removes "." and ".." steps from the path of an absolute address, as a browser does.
std::string RemoveDotSteps(const std::string& url)
{
    const size_t root = RootLength(url);
    const size_t pathEnd = std::min(url.find_first_of("?#", root), url.size());
    const std::string_view path = std::string_view(url).substr(root, pathEnd - root);
    std::vector<std::string_view> steps;
    size_t start = 1;
    while (start <= path.size() && !path.empty())
    {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view step = path.substr(start, slash - start);
        const bool bLast = slash == path.size();
        if (step == "..")
        {
            if (!steps.empty())
                steps.pop_back();
            if (bLast)
                steps.emplace_back();
        }
        else if (step == ".")
        {
            if (bLast)
                steps.emplace_back();
        }
        else
            steps.push_back(step);
        start = slash + 1;
    }
    std::string out = url.substr(0, root);
    out.reserve(url.size());
    for (const std::string_view step : steps)
        out.append("/").append(step);
    if (path.empty() || (out.size() == root))
        out += '/';
    out += url.substr(pathEnd);
    return out;
}

// The crawl's addresses are the text it asks the server for: only what would end the value or
// break the markup around it is escaped.
std::string EncodeAddress(std::string_view address)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : address)
    {
        const auto u = static_cast<unsigned char>(c);
        if (u > 0x20 && u != 0x7F && std::string_view("\"'<>\\").find(c) == std::string_view::npos)
        {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[u >> 4];
        out += kHex[u & 0x0F];
    }
    return out;
}

} // namespace

CLinkConverter::CLinkConverter(const Targets& targets) : m_targets(targets) {}

std::string CLinkConverter::Convert(std::string_view text, const std::string& strPageUrl,
                                    const std::string& strPagePath, std::vector<LinkSite> sites) const
{
    std::stable_sort(sites.begin(), sites.end(),
                     [](const LinkSite& a, const LinkSite& b) { return a.nBegin < b.nBegin; });
    const std::string strFolder = strPagePath.substr(0, strPagePath.rfind('/') + 1);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::uint64_t nCopied = 0;
    for (const LinkSite& site : sites)
    {
        if (site.nBegin < nCopied || site.nEnd < site.nBegin || site.nEnd > text.size())
            continue;
        const std::string_view raw = text.substr(site.nBegin, site.nEnd - site.nBegin);
        out.append(text.substr(nCopied, site.nBegin - nCopied));
        out.append(NewValue(raw, site, strPageUrl, strFolder));
        nCopied = site.nEnd;
    }
    out.append(text.substr(nCopied));
    return out;
}

std::string CLinkConverter::NewValue(std::string_view raw, const LinkSite& site,
                                     const std::string& strPageUrl, const std::string& strPageFolder) const
{
    const std::string* pTarget = site.bCut || site.address.empty() ? nullptr : FindTarget(site.address);
    std::string absolute;
    if (pTarget == nullptr)
    {
        const bool bAbsolute = HasScheme(raw) || raw.starts_with("//");
        absolute = bAbsolute ? std::string(raw) : Resolve(raw, strPageUrl);
        // Where the crawl read a relative value against another folder than a browser does (a
        // page whose address has no .htm), the file the browser asks for may be in the mirror.
        pTarget = FindBrowserTarget(absolute);
    }
    if (pTarget != nullptr)
    {
        const size_t hash = raw.find('#');
        std::string value = EncodePath(RelativePath(strPageFolder, *pTarget));
        if (hash != std::string_view::npos)
            value += raw.substr(hash);
        return value;
    }
    // A value that names its server already works with the network as it is.
    return absolute;
}

const std::string* CLinkConverter::FindBrowserTarget(const std::string& absolute) const
{
    std::string address = absolute.substr(0, absolute.find_first_of("?#"));
    if (const std::string* pTarget = FindTarget(address))
        return pTarget;
    // The crawl's addresses are decoded as the page reader decodes a line.
    LinkDecoding::DecodeEntities(address);
    LinkDecoding::DecodeEscapes(address);
    return FindTarget(address);
}

const std::string* CLinkConverter::FindTarget(const std::string& address) const
{
    auto found = m_targets.find(address);
    if (found == m_targets.end() && address.ends_with('/'))
        found = m_targets.find(address + std::string(kIndexName));
    return found == m_targets.end() ? nullptr : &found->second;
}

std::string CLinkConverter::RelativePath(const std::string& strFrom, const std::string& strTo)
{
    // The longest common stretch that ends in '/'.
    size_t common = 0;
    for (size_t i = 0; i < strFrom.size() && i < strTo.size() && strFrom[i] == strTo[i]; ++i)
    {
        if (strFrom[i] == '/')
            common = i + 1;
    }
    std::string out;
    const size_t nUp = static_cast<size_t>(
        std::count(strFrom.begin() + static_cast<std::ptrdiff_t>(common), strFrom.end(), '/'));
    for (size_t i = 0; i < nUp; ++i)
        out += "../";
    out += strTo.substr(common);
    // A name with a ':' before any '/' would read as a scheme.
    if (out.empty() || HasScheme(out))
        out.insert(0, "./");
    return out;
}

std::string CLinkConverter::EncodePath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path)
    {
        const auto u = static_cast<unsigned char>(c);
        if (!NeedsEscape(u))
        {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[u >> 4];
        out += kHex[u & 0x0F];
    }
    return out;
}

std::string CLinkConverter::Resolve(std::string_view raw, const std::string& strPageUrl)
{
    const size_t root = RootLength(strPageUrl);
    const std::string strRoot = strPageUrl.substr(0, root);
    const std::string strPath = strPageUrl.substr(root);
    std::string url;
    if (raw.starts_with('/'))
        url = strRoot + std::string(raw);
    else if (raw.starts_with('?') || raw.starts_with('#') || raw.empty())
        url = strRoot + EncodeAddress(strPath.empty() ? "/" : strPath) + std::string(raw);
    else
    {
        const std::string strFolder = strPath.substr(0, strPath.rfind('/') + 1);
        url = strRoot + EncodeAddress(strFolder.empty() ? "/" : strFolder) + std::string(raw);
    }
    return RemoveDotSteps(url);
}
