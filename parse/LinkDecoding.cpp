#include "parse/LinkDecoding.h"

#include "platform/AsciiText.h"

#include <algorithm>
#include <numeric>
#include <string_view>

namespace
{

// Rewrites `line` in place, moving the stretches between markers in bulk. At each marker,
// `decode(pos, out)` sets the byte that stands for the text there and returns how many bytes it
// stands for (at least 1). Bytes before the read position are never read again. `origins`, when
// given, holds one entry per byte of the line and is moved along with it.
template <typename Decode>
void RewriteAtMarkers(std::string& line, char marker, Decode decode,
                      std::vector<std::uint32_t>* origins = nullptr)
{
    size_t read = line.find(marker);
    if (read == std::string::npos)
        return;
    size_t write = read;
    while (read < line.size())
    {
        char out = 0;
        if (origins != nullptr)
            (*origins)[write] = (*origins)[read];
        read += decode(read, out);
        line[write++] = out;
        const size_t next = std::min(line.find(marker, read), line.size());
        std::copy(line.begin() + static_cast<std::ptrdiff_t>(read),
                  line.begin() + static_cast<std::ptrdiff_t>(next),
                  line.begin() + static_cast<std::ptrdiff_t>(write));
        if (origins != nullptr)
            std::copy(origins->begin() + static_cast<std::ptrdiff_t>(read),
                      origins->begin() + static_cast<std::ptrdiff_t>(next),
                      origins->begin() + static_cast<std::ptrdiff_t>(write));
        write += next - read;
        read = next;
    }
    line.resize(write);
    if (origins != nullptr)
        origins->resize(write);
}

unsigned EscapeDigit(char c)
{
    const unsigned char upper = static_cast<unsigned char>(AsciiText::ToUpper(c));
    return AsciiText::IsDigit(c) ? upper - 48u : upper - 55u;
}

} // namespace

namespace LinkDecoding
{

// One left-to-right pass. Only the '&' just kept can start a new "&amp;" (the pattern holds no
// other '&'), so re-checking that position gives what restarting from the beginning would. And
// since "quot;" holds no '&', a "&quot;" left by the first loop is an '&' directly followed by
// "quot;" in the text: both loops' results come from one look at each '&'.
void DecodeEntities(std::string& line, std::vector<std::uint32_t>* origins)
{
    static constexpr std::string_view kAmpTail = "amp;";
    static constexpr std::string_view kQuotTail = "quot;";

    RewriteAtMarkers(
        line, '&',
        [&line](size_t pos, char& out)
        {
            const std::string_view text(line);
            size_t end = pos + 1;
            while (text.substr(end).starts_with(kAmpTail))
                end += kAmpTail.size();
            const bool bQuot = text.substr(end).starts_with(kQuotTail);
            out = bQuot ? '"' : '&';
            return end - pos + (bQuot ? kQuotTail.size() : 0);
        },
        origins);
}

// Any letter counts, not only A to F: "%ZZ" gives (35 * 16 + 35) & 0xFF.
void DecodeEscapes(std::string& line, std::vector<std::uint32_t>* origins)
{
    RewriteAtMarkers(
        line, '%',
        [&line](size_t pos, char& out)
        {
            if (pos + 2 < line.size() && AsciiText::IsAlnum(line[pos + 1]) &&
                AsciiText::IsAlnum(line[pos + 2]))
            {
                out =
                    static_cast<char>((EscapeDigit(line[pos + 1]) * 16 + EscapeDigit(line[pos + 2])) & 0xFF);
                return size_t{3};
            }
            out = '%';
            return size_t{1};
        },
        origins);
}

void DecodeTracked(std::string& line, std::vector<std::uint32_t>& origins)
{
    origins.resize(line.size());
    std::iota(origins.begin(), origins.end(), std::uint32_t{0});
    DecodeEntities(line, &origins);
    DecodeEscapes(line, &origins);
}

} // namespace LinkDecoding
