#include "crawl/RetryAfter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <string_view>

namespace RetryAfter
{

namespace
{

std::string Trimmed(const std::string& strValue)
{
    const size_t first = strValue.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return strValue.substr(first, strValue.find_last_not_of(" \t") - first + 1);
}

std::optional<std::int64_t> Seconds(const std::string& strValue)
{
    if (strValue.empty() || strValue.size() > 18 ||
        !std::all_of(strValue.begin(), strValue.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return std::stoll(strValue);
}

// The preferred HTTP date form, "Sun, 06 Nov 1994 08:49:37 GMT"; read by hand, since the names
// of days and months must not follow the user's locale.
std::optional<std::int64_t> HttpDate(const std::string& strValue)
{
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char szDay[4] = {};
    char szMonth[4] = {};
    std::tm parts{};
    int nUsed = 0;
    if (std::sscanf(strValue.c_str(), "%3[A-Za-z], %2d %3[A-Za-z] %4d %2d:%2d:%2d GMT%n", szDay,
                    &parts.tm_mday, szMonth, &parts.tm_year, &parts.tm_hour, &parts.tm_min, &parts.tm_sec,
                    &nUsed) != 7 ||
        static_cast<size_t>(nUsed) != strValue.size())
        return std::nullopt;
    const auto month = std::find_if(std::begin(kMonths), std::end(kMonths),
                                    [&](const char* pName) { return std::string_view(pName) == szMonth; });
    if (month == std::end(kMonths))
        return std::nullopt;
    parts.tm_mon = static_cast<int>(month - std::begin(kMonths));
    parts.tm_year -= 1900;
    return static_cast<std::int64_t>(::timegm(&parts));
}

} // namespace

std::optional<std::chrono::seconds> Parse(const std::string& strValue, std::int64_t nNow)
{
    const std::string strText = Trimmed(strValue);
    std::optional<std::int64_t> nWait = Seconds(strText);
    if (!nWait)
    {
        const std::optional<std::int64_t> when = HttpDate(strText);
        if (!when)
            return std::nullopt;
        nWait = std::max<std::int64_t>(*when - nNow, 0);
    }
    return std::chrono::seconds(std::min<std::int64_t>(*nWait, kMaxWait.count()));
}

} // namespace RetryAfter
