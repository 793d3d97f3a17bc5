#pragma once

#include <ctime>
#include <string>

namespace TimeFormat
{

// strftime in local time. Returns an empty text when the result does not fit 256 bytes.
std::string Local(const char* format, std::time_t when);
std::string LocalNow(const char* format);

} // namespace TimeFormat
