#pragma once

#include <cstdint>
#include <string>

// Why the program itself gives up a fetch, as against a failure the HTTP client names. Nothing
// is thrown: the code travels in the fetch's result, and the error log names it in the form it
// has always had, "Error: Exiting with CTearException(401)".
enum class CTearException : std::uint32_t
{
    kNotHttp = 1,        // the start address is not an address the fetcher serves
    kAccessDenied = 401, // the server refused the credentials
};

inline std::string TearLogLine(CTearException code)
{
    return "Error: Exiting with CTearException(" + std::to_string(static_cast<std::uint32_t>(code)) + ")";
}
