#include "parse/CssScanner.h"

#include <algorithm>
#include <utility>

namespace
{

constexpr std::uint32_t kReplacement = 0xFFFD;
constexpr size_t kMaxWord = 8;
constexpr int kMaxHexDigits = 6;

bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::uint32_t HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint32_t>(c - 'a' + 10);
    return static_cast<std::uint32_t>(c - 'A' + 10);
}

// A NUL reads as U+FFFD, which is a name character like every other non-ASCII one.
bool IsNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || u >= 0x80 || c == '\0';
}

bool IsNonPrintable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x01 && u <= 0x08) || u == 0x0B || (u >= 0x0E && u <= 0x1F) || u == 0x7F;
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

} // namespace

CCssScanner::CCssScanner(Sink sink) : m_sink(std::move(sink)) {}

void CCssScanner::Feed(std::string_view text)
{
    for (const char byte : text)
    {
        // CR LF, CR and FF all read as one LF.
        if (m_bLastWasReturn && byte == '\n')
        {
            m_bLastWasReturn = false;
            ++m_nPos;
            continue;
        }
        m_bLastWasReturn = byte == '\r';
        const char c = byte == '\r' || byte == '\f' ? '\n' : byte;
        if (m_bBeginPending && StartsValueText(c))
        {
            m_bBeginPending = false;
            m_span.begin = m_nPos;
        }
        Put(c);
        ++m_nPos;
    }
}

void CCssScanner::Finish()
{
    switch (m_state)
    {
    case State::String:
    case State::StringEscape:
        if (m_stringUse == StringUse::Value)
            Emit();
        break;
    case State::StringHex:
        EndHex();
        if (m_stringUse == StringUse::Value)
            Emit();
        break;
    case State::UrlEscape:
        // A backslash at the very end escapes the end of the text.
        AppendCodePoint(kReplacement);
        Emit();
        break;
    case State::UrlHex:
        EndHex();
        Emit();
        break;
    case State::UrlStart:
    case State::UrlBody:
        Emit();
        break;
    case State::UrlTrail:
        Emit(m_nTrailStart);
        break;
    default:
        break;
    }
    m_state = State::Data;
    m_prefix = 0;
    m_bLastWasReturn = false;
    m_bBeginPending = false;
    m_nPos = 0;
    m_value.clear();
    m_word.clear();
}

void CCssScanner::Put(char c)
{
    switch (m_state)
    {
    case State::Data:
        PutData(c);
        break;
    case State::Slash:
        if (c == '*')
        {
            m_state = State::Comment;
            break;
        }
        // A lone '/' is a delimiter, which also ends what an @import was waiting for.
        m_state = State::Data;
        PutData(c);
        break;
    case State::Comment:
        if (c == '*')
            m_state = State::CommentStar;
        break;
    case State::CommentStar:
        if (c == '/')
            m_state = m_afterComment;
        else if (c != '*')
            m_state = State::Comment;
        break;
    case State::Prefix:
        if (IsNameChar(c) || c == '\\')
        {
            m_word.clear();
            m_state = State::Word;
            PutWord(c);
            break;
        }
        m_prefix = 0;
        m_state = State::Data;
        PutData(c);
        break;
    case State::Word:
        PutWord(c);
        break;
    case State::WordEscape:
        if (c == '\n')
        {
            // Not an escape: the backslash is a delimiter of its own and the word ends before it.
            m_prefix = 0;
            m_state = State::Data;
            PutData(c);
        }
        else if (IsHex(c))
        {
            m_nHexValue = HexValue(c);
            m_nHexDigits = 1;
            m_afterHex = State::Word;
            m_state = State::WordHex;
        }
        else
        {
            AppendWordChar(c);
            m_state = State::Word;
        }
        break;
    case State::WordHex:
        if (!PutHex(c))
        {
            m_state = State::Word;
            PutWord(c);
        }
        break;
    case State::AfterImport:
        if (IsWhite(c))
            break;
        if (c == '/')
        {
            m_afterComment = State::AfterImport;
            m_state = State::Slash;
        }
        else if (IsQuote(c))
        {
            m_quote = c;
            m_stringUse = StringUse::Value;
            StartValue();
            m_state = State::String;
        }
        else
        {
            m_state = State::Data;
            PutData(c);
        }
        break;
    case State::UrlStart:
        if (IsWhite(c))
            break;
        if (IsQuote(c))
        {
            m_quote = c;
            m_stringUse = StringUse::Value;
            m_state = State::String;
            break;
        }
        m_state = State::UrlBody;
        PutUrl(c);
        break;
    case State::UrlBody:
        PutUrl(c);
        break;
    case State::UrlEscape:
        if (c == '\n')
            m_state = State::BadUrl;
        else if (IsHex(c))
        {
            m_nHexValue = HexValue(c);
            m_nHexDigits = 1;
            m_afterHex = State::UrlBody;
            m_state = State::UrlHex;
        }
        else
        {
            Append(c);
            m_state = State::UrlBody;
        }
        break;
    case State::UrlHex:
        if (!PutHex(c))
        {
            m_state = State::UrlBody;
            PutUrl(c);
        }
        break;
    case State::UrlTrail:
        if (IsWhite(c))
            break;
        if (c == ')')
        {
            Emit(m_nTrailStart);
            m_state = State::Data;
            break;
        }
        m_state = State::BadUrl;
        Put(c);
        break;
    case State::BadUrl:
        if (c == ')')
            m_state = State::Data;
        else if (c == '\\')
            m_state = State::BadUrlEscape;
        break;
    case State::BadUrlEscape:
        m_state = State::BadUrl;
        break;
    case State::String:
        PutString(c);
        break;
    case State::StringEscape:
        if (c == '\n')
            m_state = State::String; // an escaped newline continues the string
        else if (IsHex(c))
        {
            m_nHexValue = HexValue(c);
            m_nHexDigits = 1;
            m_afterHex = State::String;
            m_state = State::StringHex;
        }
        else
        {
            if (m_stringUse == StringUse::Value)
                Append(c);
            m_state = State::String;
        }
        break;
    case State::StringHex:
        if (!PutHex(c))
        {
            m_state = State::String;
            PutString(c);
        }
        break;
    }
}

void CCssScanner::PutData(char c)
{
    if (IsQuote(c))
    {
        m_quote = c;
        m_stringUse = StringUse::Skip;
        m_state = State::String;
    }
    else if (c == '/')
    {
        m_afterComment = State::Data;
        m_state = State::Slash;
    }
    else if (c == '@' || c == '#')
    {
        m_prefix = c;
        m_state = State::Prefix;
    }
    else if (IsNameChar(c) || c == '\\')
    {
        m_prefix = 0;
        m_word.clear();
        m_state = State::Word;
        PutWord(c);
    }
}

void CCssScanner::PutWord(char c)
{
    if (IsNameChar(c))
        AppendWordChar(c);
    else if (c == '\\')
        m_state = State::WordEscape;
    else if (c == '(')
    {
        // Only the plain word url opens an address: not #url( (a hash) nor @url( (an at-rule).
        if (m_prefix == 0 && m_word == "url")
        {
            StartValue();
            m_state = State::UrlStart;
        }
        else
            m_state = State::Data;
        m_prefix = 0;
    }
    else
        EndWord(c);
}

void CCssScanner::EndWord(char c)
{
    const bool bImport = m_prefix == '@' && m_word == "import";
    m_prefix = 0;
    m_state = bImport ? State::AfterImport : State::Data;
    Put(c);
}

void CCssScanner::PutUrl(char c)
{
    if (c == ')')
    {
        Emit();
        m_state = State::Data;
    }
    else if (IsWhite(c))
    {
        m_nTrailStart = m_nPos;
        m_state = State::UrlTrail;
    }
    else if (IsQuote(c) || c == '(' || IsNonPrintable(c))
        m_state = State::BadUrl;
    else if (c == '\\')
        m_state = State::UrlEscape;
    else
        Append(c);
}

void CCssScanner::PutString(char c)
{
    if (c == m_quote)
    {
        if (m_stringUse == StringUse::Value)
            Emit();
        m_state = State::Data;
    }
    else if (c == '\n')
    {
        // An unclosed string ends at the line and names nothing.
        m_state = State::Data;
        PutData(c);
    }
    else if (c == '\\')
        m_state = State::StringEscape;
    else if (m_stringUse == StringUse::Value)
        Append(c);
}

bool CCssScanner::PutHex(char c)
{
    if (IsHex(c) && m_nHexDigits < kMaxHexDigits)
    {
        m_nHexValue = m_nHexValue * 16 + HexValue(c);
        ++m_nHexDigits;
        return true;
    }
    EndHex();
    if (IsWhite(c))
    {
        // One white space after a hex escape belongs to the escape.
        m_state = m_afterHex;
        return true;
    }
    return false;
}

void CCssScanner::EndHex()
{
    std::uint32_t code = m_nHexValue;
    if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        code = kReplacement;
    if (m_afterHex == State::Word)
    {
        if (code < 0x80)
            AppendWordChar(static_cast<char>(code));
        else
            AppendWordChar('\x80');
    }
    else if (m_afterHex != State::String || m_stringUse == StringUse::Value)
        AppendCodePoint(code);
}

void CCssScanner::Append(char c)
{
    if (c == '\0')
    {
        AppendCodePoint(kReplacement);
        return;
    }
    if (m_value.size() >= kMaxValue)
    {
        m_bOverflow = true;
        return;
    }
    m_value += c;
}

void CCssScanner::AppendCodePoint(std::uint32_t code)
{
    char bytes[4];
    size_t count = 0;
    if (code < 0x80)
        bytes[count++] = static_cast<char>(code);
    else if (code < 0x800)
    {
        bytes[count++] = static_cast<char>(0xC0 | (code >> 6));
        bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    else if (code < 0x10000)
    {
        bytes[count++] = static_cast<char>(0xE0 | (code >> 12));
        bytes[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    else
    {
        bytes[count++] = static_cast<char>(0xF0 | (code >> 18));
        bytes[count++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    if (m_value.size() + count > kMaxValue)
    {
        m_bOverflow = true;
        return;
    }
    m_value.append(bytes, count);
}

void CCssScanner::AppendWordChar(char c)
{
    if (m_word.size() >= kMaxWord)
        return;
    if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    else if (c == '\0' || static_cast<unsigned char>(c) >= 0x80)
        c = '\x80';
    m_word += c;
}

void CCssScanner::StartValue()
{
    m_value.clear();
    m_bOverflow = false;
    m_bBeginPending = true;
}

// The first byte of a value's text: after the opening quote of a string, or the first byte of an
// unquoted url() that is not white space.
bool CCssScanner::StartsValueText(char c) const
{
    if (m_state == State::String)
        return true;
    return m_state == State::UrlStart && !IsWhite(c) && !IsQuote(c);
}

void CCssScanner::Emit()
{
    Emit(m_nPos);
}

void CCssScanner::Emit(std::uint64_t nEnd)
{
    if (m_bBeginPending)
        m_span.begin = nEnd;
    m_span.end = std::max(nEnd, m_span.begin);
    m_bBeginPending = false;
    if (!m_bOverflow)
        m_sink(m_value);
    m_value.clear();
    m_bOverflow = false;
}
