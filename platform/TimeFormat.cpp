#include "platform/TimeFormat.h"

#include <cstdio>

namespace TimeFormat
{

std::string Local(const char* format, std::time_t when)
{
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return {};
    char buffer[256];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, length);
}

std::string LocalNow(const char* format)
{
    return Local(format, std::time(nullptr));
}

std::string HttpDate(std::int64_t when)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto seconds = static_cast<std::time_t>(when);
    std::tm utc{};
    if (gmtime_r(&seconds, &utc) == nullptr)
        return {};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday],
                  utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return buffer;
}

} // namespace TimeFormat
