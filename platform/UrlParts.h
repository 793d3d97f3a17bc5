#pragma once

#include <optional>
#include <string>

// An address split into what a connection needs. One helper for the fetcher and the link parser,
// so both agree on what the server part of an address is.
struct UrlParts
{
    std::string scheme; // lower-cased, "http" for http://
    std::string host;   // host name without port
    unsigned port = 0;  // the port named in the address, or the scheme's default
    bool bPortNamed = false;
    std::string object; // from the first '/' after the host on; "/" when there is none

    // "host" or, when the address names a port, "host:port": the form that server roots and site
    // prefixes keep, so that a site on an explicit port crawls exactly as one on port 80.
    std::string Authority() const;
    // "http://" + Authority()
    std::string ServerRoot() const;

    // Fails for text without "scheme://", an empty host or a port that is not a number from 1 to
    // 65535. An IPv6 literal keeps its brackets in `host`: "[::1]".
    static std::optional<UrlParts> Parse(const std::string& url);

    // `object` as a request line may carry it: control bytes, space, bytes above 127, the
    // characters "<>\^`{|} and a '%' that starts no escape are percent-encoded; everything else,
    // escapes already present included, stays as it is.
    static std::string EncodeTarget(const std::string& object);
};
