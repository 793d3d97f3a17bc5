#include "platform/UrlParts.h"

#include "platform/AsciiText.h"

namespace
{

unsigned DefaultPort(const std::string& scheme)
{
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    if (scheme == "ftp")
        return 21;
    return 0;
}

std::optional<unsigned> ParsePort(const std::string& text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text)
    {
        if (!AsciiText::IsDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return value;
}

} // namespace

std::string UrlParts::Authority() const
{
    return bPortNamed ? host + ":" + std::to_string(port) : host;
}

std::string UrlParts::ServerRoot() const
{
    return scheme + "://" + Authority();
}

std::optional<UrlParts> UrlParts::Parse(const std::string& url)
{
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || schemeEnd == 0)
        return std::nullopt;

    UrlParts parts;
    parts.scheme = AsciiText::ToLower(url.substr(0, schemeEnd));
    const size_t authorityStart = schemeEnd + 3;
    const size_t objectStart = url.find('/', authorityStart);
    std::string authority = url.substr(
        authorityStart, objectStart == std::string::npos ? std::string::npos : objectStart - authorityStart);
    parts.object = objectStart == std::string::npos ? "/" : url.substr(objectStart);

    // Credentials in the address (user:password@host) are not part of the server.
    const size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority.erase(0, at + 1);

    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']') == std::string::npos)
    {
        const std::optional<unsigned> port = ParsePort(authority.substr(colon + 1));
        if (!port)
            return std::nullopt;
        parts.port = *port;
        parts.bPortNamed = true;
        authority.erase(colon);
    }
    else
    {
        parts.port = DefaultPort(parts.scheme);
    }
    if (authority.empty())
        return std::nullopt;
    parts.host = authority;
    return parts;
}
