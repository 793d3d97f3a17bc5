#include "platform/TimeFormat.h"

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

} // namespace TimeFormat
