#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What a GET asks beyond its address, and what the answer to that means. A copy already held
// asks whether the server's file is later (If-Modified-Since); a partial file kept from a cut
// transfer asks for the rest, on condition that the server still has the version it began
// (Range with If-Range). Neither is asked when there is nothing held.
struct RequestConditions
{
    // What to do with an answer to a request for the rest of a file.
    enum class RangeAnswer
    {
        Append, // the rest of the same version, starting where the partial file ends
        // An answer of its own (the whole file from its first byte, a 304, a 404...): the partial
        // file is dropped.
        Whole,
        AskAgain, // neither: the partial file is dropped and the whole file asked for anew
    };

    // The time of the copy held, seconds since 1970.
    std::optional<std::int64_t> ifModifiedSince;
    // The bytes the partial file holds; 0 asks for the whole file.
    std::int64_t nResumeFrom = 0;
    // The partial file's version as its first answer named it: an ETag or a Last-Modified text.
    std::string strValidator;

    // Whether the request carries any condition at all.
    bool Any() const { return ifModifiedSince.has_value() || nResumeFrom > 0; }
    // The header lines to add to the request ("Name: value\r\n" each); empty without conditions.
    std::string Headers() const;
    // What an answer with `nStatus`, its Content-Range and its validators means for a request for
    // the rest. An answer that names a version other than the partial file's is never appended.
    RangeAnswer Judge(long nStatus, const std::string& strContentRange, const std::string& strETag,
                      const std::string& strLastModified) const;

    // The validator If-Range may carry for an answer: its ETag unless weak (a weak one cannot
    // promise the same bytes), else its Last-Modified; empty when it has neither.
    static std::string ValidatorOf(const std::string& strETag, const std::string& strLastModified);
    // The first byte of a Content-Range "bytes FIRST-LAST/TOTAL"; empty when it is not one.
    static std::optional<std::int64_t> RangeStart(const std::string& strContentRange);
};
