#pragma once

#include <cstdint>
#include <exception>

// The program's own reason to abandon a fetch. Caught where it arises and turned into one log line.
class CTearException : public std::exception
{
public:
    enum : std::uint32_t
    {
        kNotHttp = 1,        // the start address is not an http:// address
        kAccessDenied = 401, // the server refused the credentials
    };

    explicit CTearException(std::uint32_t nCode) : m_nCode(nCode) {}
    const char* what() const noexcept override { return "CTearException"; }

    std::uint32_t m_nCode;
};
