#pragma once

#include <chrono>
#include <string>

// What one Download came to.
struct FetchResult
{
    // Stored, skipped because a copy is present, or not found. False: failed and reported, worth
    // another attempt.
    bool bOk = false;
    // The server answered 404 and no local copy stands in for the page.
    bool bNotFound = false;
    // As the server named it, or "text/html" for a present copy with an .htm-like name.
    std::string strContentType;
    // Where the address is stored, or would have been.
    std::string strLocalPath;
    // A body stored only to be read for links, under a private name, to be deleted once it has
    // been read: a folder page (so a temp.html already there is left alone), or a page the
    // filter leaves out (so the copy on disk is never replaced by it).
    bool bTemporary = false;
    // strPageText holds the stored body of a text/html page, so the page can be read for links
    // without reading the file back. Asked for by the caller; a page beyond the bound is not held.
    bool bPageHeld = false;
    std::string strPageText;
    // The log line of a failure (its last, when it wrote more than one); empty when bOk.
    std::string strError;
    // The pause the server asked for before another attempt (an error answer's Retry-After).
    std::chrono::seconds retryAfter{0};
};
