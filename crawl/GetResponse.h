#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What one GET came to, as far as the fetcher reads it before the body.
struct GetResponse
{
    // The exchange completed, a 404 included. False: it failed, and strError is its log line.
    bool bOk = false;
    // The server's status code; 0 when there was no answer.
    long nStatus = 0;
    bool bNotFound = false;
    // The Content-Length, 0 when the server named none.
    std::int64_t nLength = 0;
    // The Last-Modified time, when the server gave a readable one.
    std::optional<std::int64_t> lastModified;
    std::string strContentType;
    // The Retry-After header of a 429 or 503 answer, as sent.
    std::string strRetryAfter;
    // As the server wrote them, for asking for the rest of the same version later; empty when
    // absent.
    std::string strETag;
    std::string strLastModified;
    std::string strContentRange;
    std::string strError;

    // An answer that is no copy of the address: a client or server error (401 and 404 have rules
    // of their own), or a final 1xx, which no request of ours asks for.
    bool IsFailedAnswer() const
    {
        return (nStatus >= 100 && nStatus < 200) || (nStatus >= 400 && nStatus < 600 && nStatus != 404);
    }
};
