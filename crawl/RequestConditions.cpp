#include "crawl/RequestConditions.h"

#include "platform/AsciiText.h"
#include "platform/TimeFormat.h"

#include <cctype>
#include <limits>

std::string RequestConditions::Headers() const
{
    std::string strHeaders;
    if (ifModifiedSince)
        strHeaders += "If-Modified-Since: " + TimeFormat::HttpDate(*ifModifiedSince) + "\r\n";
    if (nResumeFrom > 0 && !strValidator.empty())
    {
        strHeaders += "Range: bytes=" + std::to_string(nResumeFrom) + "-\r\n";
        strHeaders += "If-Range: " + strValidator + "\r\n";
    }
    return strHeaders;
}

RequestConditions::RangeAnswer RequestConditions::Judge(long nStatus, const std::string& strContentRange,
                                                        const std::string& strETag,
                                                        const std::string& strLastModified) const
{
    if (nStatus == 416)
        return RangeAnswer::AskAgain;
    if (nStatus != 206)
        return RangeAnswer::Whole;
    if (RangeStart(strContentRange) != nResumeFrom)
        return RangeAnswer::AskAgain;
    // If-Range already asks the server for this; a server that answers the range regardless
    // still names its version, and a different one must not be spliced onto the partial file.
    // A strong ETag is quoted; a date never is.
    const bool bETag = !strValidator.empty() && strValidator.front() == '"';
    const std::string& strNamed = bETag ? strETag : strLastModified;
    if (!strNamed.empty() && strNamed != strValidator)
        return RangeAnswer::AskAgain;
    return RangeAnswer::Append;
}

std::string RequestConditions::ValidatorOf(const std::string& strETag, const std::string& strLastModified)
{
    if (!strETag.empty() && !AsciiText::StartsWithNoCase(strETag, "W/"))
        return strETag;
    return strLastModified;
}

std::optional<std::int64_t> RequestConditions::RangeStart(const std::string& strContentRange)
{
    constexpr std::string_view kUnit = "bytes ";
    if (!AsciiText::StartsWithNoCase(strContentRange, kUnit))
        return std::nullopt;
    size_t pos = kUnit.size();
    std::int64_t nFirst = 0;
    const size_t digitsStart = pos;
    for (; pos < strContentRange.size() && std::isdigit(static_cast<unsigned char>(strContentRange[pos]));
         ++pos)
    {
        const int digit = strContentRange[pos] - '0';
        if (nFirst > (std::numeric_limits<std::int64_t>::max() - digit) / 10)
            return std::nullopt;
        nFirst = nFirst * 10 + digit;
    }
    if (pos == digitsStart || pos >= strContentRange.size() || strContentRange[pos] != '-')
        return std::nullopt;
    return nFirst;
}
