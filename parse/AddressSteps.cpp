#include "parse/AddressSteps.h"

namespace
{

// Whether `c` occurs twice in a row at or after `from`; cheaper than a substring search for the
// short addresses it is asked about.
bool HasDoubled(const std::string& text, char c, size_t from)
{
    for (size_t i = from + 1; i < text.size(); ++i)
    {
        if (text[i] == c && text[i - 1] == c)
            return true;
    }
    return false;
}

} // namespace

namespace AddressSteps
{

// Each ".." takes away the folder before it, the way a loop that rewrites the address at its
// first ".." until none is left would, in one pass: `out` holds the rewritten text before the
// read position and never holds "..", so the next ".." either joins its last character to the
// next one or lies ahead.
void ResolveParentSteps(std::string& address)
{
    if (!HasDoubled(address, '.', 0))
        return;
    std::string out;
    out.reserve(address.size());
    const auto dropFolder = [&out]
    {
        if (!out.empty())
            out.pop_back(); // the '/' before the dots
        const size_t slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };

    size_t read = 0;
    for (;;)
    {
        if (!out.empty() && out.back() == '.' && read < address.size() && address[read] == '.')
        {
            out.pop_back();
            dropFolder();
            read += 1;
            continue;
        }
        const size_t dots = address.find("..", read);
        if (dots == std::string::npos)
            break;
        out.append(address, read, dots - read);
        dropFolder();
        read = dots + 2;
    }
    out.append(address, read);
    address = std::move(out);
}

// One pass; past the scheme's "//", the first of two slashes is dropped and the walk goes on
// after the second. The last character is always kept, so a doubled slash at the end stays.
void CollapseSlashes(std::string& address)
{
    if (!HasDoubled(address, '/', 7))
        return;
    std::string out;
    out.reserve(address.size());
    const size_t last = address.size() - 1;
    for (size_t i = 0; i < last; ++i)
    {
        if (i > 6 && address[i] == '/' && address[i + 1] == '/')
            ++i;
        out += address[i];
    }
    out += address[last];
    address = std::move(out);
}

} // namespace AddressSteps
