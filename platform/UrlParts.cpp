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

bool IsHexDigit(char c)
{
    return AsciiText::IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool NeedsEscape(const std::string& object, size_t i)
{
    const auto byte = static_cast<unsigned char>(object[i]);
    if (byte <= 0x20 || byte >= 0x7f)
        return true;
    if (byte == '%')
        return i + 2 >= object.size() || !IsHexDigit(object[i + 1]) || !IsHexDigit(object[i + 2]);
    return std::string_view("\"<>\\^`{|}").find(static_cast<char>(byte)) != std::string_view::npos;
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

    if (authority.empty())
        return std::nullopt;
    // The colons inside an IPv6 literal are not the port's.
    const size_t literalEnd = authority.front() == '[' ? authority.find(']') : 0;
    if (literalEnd == std::string::npos || literalEnd == 1 ||
        (literalEnd != 0 && literalEnd + 1 < authority.size() && authority[literalEnd + 1] != ':'))
        return std::nullopt;
    const size_t colon = authority.find(':', literalEnd);
    if (colon != std::string::npos)
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

std::string UrlParts::EncodeTarget(const std::string& object)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(object.size());
    for (size_t i = 0; i < object.size(); ++i)
    {
        if (!NeedsEscape(object, i))
        {
            encoded += object[i];
            continue;
        }
        const auto byte = static_cast<unsigned char>(object[i]);
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 0x0f];
    }
    return encoded;
}
