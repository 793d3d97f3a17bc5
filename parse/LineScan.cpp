#include "parse/LineScan.h"

#include "platform/AsciiText.h"

#include <algorithm>
#include <cstring>

namespace
{

constexpr std::string_view kSrc = "src";
constexpr std::string_view kOpen = ".open";
constexpr std::string_view kHref = "href";
constexpr std::string_view kDotHref = ".href";
constexpr std::string_view kScript = "<script";
constexpr size_t kNearWindow = 512;

// A tab is not among them: a value runs on across tabs.
bool IsDelimiter(char c)
{
    return c == '\'' || c == '"' || c == '>' || c == '?' || c == ' ';
}

// ASCII letters only, as AsciiText lowers them, in a form the compiler can vectorise: lowering
// every line is a good part of the parse time. Plain pointers, since stores through a string's
// operator[] make the compiler reload its data pointer for every byte.
std::string_view LowerAscii(std::string_view text, std::string& lower)
{
    if (lower.size() < text.size())
        lower.resize(std::max(text.size(), lower.size() * 2));
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
    unsigned char* out = reinterpret_cast<unsigned char*>(lower.data());
    const size_t size = text.size();
    for (size_t i = 0; i < size; ++i)
    {
        const unsigned char c = in[i];
        out[i] = static_cast<unsigned char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
    }
    return std::string_view(lower.data(), size);
}

// The same as find. Keywords mostly lie close ahead, so the text just ahead is searched first,
// with memchr on the keyword's first byte. Beyond it glibc's memmem wins: it does not stop at
// every byte that starts the keyword, and keywords begin with letters common in text; but its
// set-up costs more than a short search does.
size_t Find(std::string_view text, std::string_view keyword, size_t from)
{
    if (from >= text.size())
        return std::string::npos;
    const size_t nearEnd = std::min(text.size(), from + kNearWindow);
    const size_t found = text.substr(0, nearEnd).find(keyword, from);
    if (found != std::string::npos || nearEnd == text.size())
        return found;
    from = nearEnd - (keyword.size() - 1); // an occurrence may straddle the window's end
    const void* far = ::memmem(text.data() + from, text.size() - from, keyword.data(), keyword.size());
    return far ? static_cast<size_t>(static_cast<const char*>(far) - text.data()) : std::string::npos;
}

// The same as rfind, stepping back from '.' to '.' rather than byte by byte.
size_t LastOccurrence(std::string_view text, std::string_view keyword)
{
    size_t end = text.size();
    while (end > 0)
    {
        const void* found = ::memrchr(text.data(), keyword.front(), end);
        if (!found)
            break;
        const size_t at = static_cast<size_t>(static_cast<const char*>(found) - text.data());
        if (text.substr(at).starts_with(keyword))
            return at;
        end = at;
    }
    return std::string::npos;
}

} // namespace

CLineScan::CLineScan(std::string_view line) : m_line(line), m_lower(LowerAscii(line, m_ownLower))
{
    Start();
}

CLineScan::CLineScan(std::string_view line, std::string& lower)
    : m_line(line), m_lower(LowerAscii(line, lower))
{
    Start();
}

void CLineScan::Start()
{
    m_nNextSrc = Find(m_lower, kSrc, 0);
    m_nNextOpen = Find(m_lower, kOpen, 0);
    m_nNextHref = Find(m_lower, kHref, 0);
    m_nLastDotHref = LastOccurrence(m_lower, kDotHref);
}

bool CLineScan::Next(std::string& link)
{
    link.clear();
    if (m_bDone)
        return false;
    if (m_lower.substr(m_nOffset).starts_with(kScript))
        return End();

    const size_t src = NextOccurrence(kSrc, m_nNextSrc);
    const size_t open = NextOccurrence(kOpen, m_nNextOpen);
    const size_t href = HrefHidden() ? std::string::npos : NextOccurrence(kHref, m_nNextHref);

    // npos is larger than any position, so an absent keyword never starts first.
    size_t pos = std::string::npos;
    if (open < src && open < href)
        pos = open + kOpen.size();
    else if (href < src)
        pos = href + kHref.size();
    else if (src != std::string::npos)
        pos = src + kSrc.size();
    else
        return End();

    pos = SkipBlanks(pos);
    if (pos >= m_line.size() || (m_line[pos] != '=' && m_line[pos] != '('))
        return End();
    pos = SkipBlanks(pos + 1);
    if (pos < m_line.size() && m_line[pos] == '"')
        ++pos;
    if (pos < m_line.size() && m_line[pos] == '\'')
        ++pos;

    const auto delimiterAt =
        std::find_if(m_line.begin() + static_cast<std::ptrdiff_t>(pos), m_line.end(), IsDelimiter);
    if (delimiterAt == m_line.end())
        return End();
    const size_t delimiter = static_cast<size_t>(delimiterAt - m_line.begin());
    link.assign(m_line.substr(pos, delimiter - pos));
    m_nValueBegin = pos;
    m_nOffset = delimiter;

    if (link.starts_with("HTTP"))
        link.replace(0, 4, "http");
    if (!link.empty() && link.front() == '<')
        return End();
    return true;
}

size_t CLineScan::NextOccurrence(std::string_view keyword, size_t& cached) const
{
    if (cached != std::string::npos && cached < m_nOffset)
        cached = Find(m_lower, keyword, m_nOffset);
    return cached;
}

// ".href" anywhere in the remaining text hides every "href" in it.
bool CLineScan::HrefHidden() const
{
    return m_nLastDotHref != std::string::npos && m_nLastDotHref >= m_nOffset;
}

size_t CLineScan::SkipBlanks(size_t pos) const
{
    while (pos < m_line.size() && AsciiText::IsBlank(m_line[pos]))
        ++pos;
    return pos;
}

bool CLineScan::End()
{
    m_bDone = true;
    m_nOffset = m_line.size();
    return false;
}
