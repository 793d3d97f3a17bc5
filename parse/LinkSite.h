#pragma once

#include <cstdint>
#include <string>

// One link value as it stands in a stored page or stylesheet, for rewriting it later: the bytes
// of the value as written, and the address the crawl resolved it to.
struct LinkSite
{
    std::uint64_t nBegin = 0;
    std::uint64_t nEnd = 0;
    std::string address;
    // The crawl took less than the value (it stops at a blank, and at a '?' or '#' that an escape
    // stands for): its address names another file than the one the value names.
    bool bCut = false;
};
