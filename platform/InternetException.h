#pragma once

#include <stdexcept>
#include <string>

// A failure of the HTTP client: the library's error code and a readable description.
class CInternetException : public std::runtime_error
{
public:
    CInternetException(unsigned long nErrorCode, const std::string& strText)
        : std::runtime_error(strText), m_nErrorCode(nErrorCode)
    {
    }

    unsigned long m_nErrorCode;
};
