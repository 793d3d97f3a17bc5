// libFuzzer target over the stylesheet scanner and the page's style reader. Besides not
// crashing, the values found must not depend on how the text is cut into blocks (the first
// input byte picks the cuts), and none may be longer than the scanner keeps.
#include "parse/CssScanner.h"
#include "parse/HtmlStyleScanner.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace
{

using Values = std::vector<std::string>;

void Check(bool bHolds, const char* what)
{
    if (bHolds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

template <typename Scanner>
Values Scan(std::string_view text, size_t nSeed)
{
    Values values;
    Scanner scanner(
        [&](std::string_view value)
        {
            Check(value.size() <= CCssScanner::kMaxValue, "value longer than the limit");
            values.emplace_back(value);
        });
    // nSeed 0 feeds the whole text at once; otherwise pieces of 1 to nSeed bytes, varying.
    size_t nStep = nSeed;
    while (!text.empty())
    {
        const size_t nTake = nSeed == 0 ? text.size() : std::min(text.size(), 1 + nStep % nSeed);
        scanner.Feed(text.substr(0, nTake));
        text.remove_prefix(nTake);
        nStep = nStep * 31 + 7;
    }
    scanner.Finish();
    return values;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t nSeed = 1 + data[0] % 17;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    Check(Scan<CCssScanner>(text, 0) == Scan<CCssScanner>(text, nSeed),
          "stylesheet values depend on the cuts");
    Check(Scan<CHtmlStyleScanner>(text, 0) == Scan<CHtmlStyleScanner>(text, nSeed),
          "page style values depend on the cuts");
    return 0;
}
