#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// The pause a server asks for before the next attempt (the Retry-After header of a 429 or 503).
namespace RetryAfter
{

// The longest pause a server may ask for: a run is not held up longer by any one answer.
constexpr std::chrono::seconds kMaxWait{60};

// `strValue` is either a number of seconds or an HTTP date (compared with `nNow`, seconds since
// 1970). At most kMaxWait; a date already past asks for none. Nothing for anything else.
std::optional<std::chrono::seconds> Parse(const std::string& strValue, std::int64_t nNow);

} // namespace RetryAfter
