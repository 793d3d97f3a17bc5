#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace TimeFormat
{

// strftime in local time. Returns an empty text when the result does not fit 256 bytes.
std::string Local(const char* format, std::time_t when);
std::string LocalNow(const char* format);
// `when` (seconds since 1970) as HTTP writes dates: "Sun, 06 Nov 1994 08:49:37 GMT", in English
// whatever the locale, since a server reads no other form.
std::string HttpDate(std::int64_t when);

} // namespace TimeFormat
