#include "parse/HtmlStyleScanner.h"

#include <cstdlib>
#include <utility>

namespace
{

constexpr size_t kMaxName = 16;
constexpr size_t kMaxReference = 10;
constexpr std::string_view kStyleClose = "</style";

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAlnum(char c)
{
    return IsLetter(c) || (c >= '0' && c <= '9');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text a character reference stands for; empty when it is not one this reader knows.
std::string Decode(const std::string& reference)
{
    // reference is "&name;" or "&#digits;" or "&#xhex;"
    const std::string name = reference.substr(1, reference.size() - 2);
    if (name == "quot")
        return "\"";
    if (name == "apos")
        return "'";
    if (name == "amp")
        return "&";
    if (name == "lt")
        return "<";
    if (name == "gt")
        return ">";
    if (name.size() < 2 || name[0] != '#')
        return {};
    const bool bHex = name[1] == 'x' || name[1] == 'X';
    const std::string digits = name.substr(bHex ? 2 : 1);
    if (digits.empty())
        return {};
    char* end = nullptr;
    const unsigned long code = std::strtoul(digits.c_str(), &end, bHex ? 16 : 10);
    if (*end != '\0' || code == 0 || code >= 0x80)
        return {}; // only ASCII matters to the syntax of an address
    return std::string(1, static_cast<char>(code));
}

} // namespace

CHtmlStyleScanner::CHtmlStyleScanner(CCssScanner::Sink sink) : m_css(std::move(sink)) {}

void CHtmlStyleScanner::Feed(std::string_view text)
{
    for (const char c : text)
    {
        Put(c);
        ++m_nPos;
    }
}

void CHtmlStyleScanner::Finish()
{
    if (m_state == State::StyleContent)
    {
        m_css.MoveTo(m_nPos - m_held.size());
        m_css.Feed(m_held);
        m_css.Finish();
    }
    else if (m_bStyleValue && (m_state == State::QuotedValue || m_state == State::UnquotedValue))
        EndValue();
    m_state = State::Text;
    m_bStyleElement = false;
    m_bStyleValue = false;
    m_held.clear();
    m_reference.clear();
    m_nPos = 0;
}

void CHtmlStyleScanner::Put(char c)
{
    switch (m_state)
    {
    case State::Text:
        if (c == '<')
            m_state = State::TagStart;
        break;
    case State::TagStart:
        m_name.clear();
        if (c == '!')
        {
            m_nDashes = 0;
            m_state = State::Bang;
        }
        else if (c == '/' || IsLetter(c))
        {
            // A closing tag is read like an opening one; its name never starts a style block.
            m_name += Lower(c);
            m_state = State::TagName;
        }
        else if (c != '<')
            m_state = State::Text;
        break;
    case State::TagName:
        if (IsSpace(c) || c == '/' || c == '>')
            EndTagName(c);
        else if (m_name.size() < kMaxName)
            m_name += Lower(c);
        break;
    case State::Bang:
        if (c == '-' && ++m_nDashes == 2)
        {
            m_nDashes = 0;
            m_state = State::Comment;
        }
        else if (c == '>')
            m_state = State::Text;
        else if (c != '-')
            m_state = State::Declaration;
        break;
    case State::Comment:
        if (c == '>' && m_nDashes >= 2)
            m_state = State::Text;
        m_nDashes = c == '-' ? m_nDashes + 1 : 0;
        break;
    case State::Declaration:
        if (c == '>')
            m_state = State::Text;
        break;
    case State::InTag:
        if (c == '>')
            EndTag();
        else if (!IsSpace(c) && c != '/')
        {
            m_name.assign(1, Lower(c));
            m_state = State::AttrName;
        }
        break;
    case State::AttrName:
        if (IsSpace(c))
            m_state = State::AfterAttrName;
        else if (c == '=')
            m_state = State::BeforeValue;
        else if (c == '>')
            EndTag();
        else if (c == '/')
            m_state = State::InTag;
        else if (m_name.size() < kMaxName)
            m_name += Lower(c);
        break;
    case State::AfterAttrName:
        if (c == '=')
            m_state = State::BeforeValue;
        else if (!IsSpace(c))
        {
            m_state = State::InTag;
            Put(c);
        }
        break;
    case State::BeforeValue:
        if (IsSpace(c))
            break;
        if (c == '>')
        {
            EndTag();
            break;
        }
        StartValue();
        if (c == '"' || c == '\'')
        {
            m_quote = c;
            m_state = State::QuotedValue;
        }
        else
        {
            m_state = State::UnquotedValue;
            PutValueChar(c);
        }
        break;
    case State::QuotedValue:
        if (c == m_quote)
        {
            EndValue();
            m_state = State::InTag;
        }
        else
            PutValueChar(c);
        break;
    case State::UnquotedValue:
        if (IsSpace(c) || c == '>')
        {
            EndValue();
            m_state = State::InTag;
            if (c == '>')
                EndTag();
        }
        else
            PutValueChar(c);
        break;
    case State::StyleContent:
        PutStyleContent(c);
        break;
    }
}

void CHtmlStyleScanner::EndTagName(char c)
{
    m_bStyleElement = m_name == "style";
    m_state = State::InTag;
    if (c == '>')
        EndTag();
}

void CHtmlStyleScanner::EndTag()
{
    if (m_bStyleElement)
    {
        m_bStyleElement = false;
        m_held.clear();
        m_state = State::StyleContent;
        return;
    }
    m_state = State::Text;
}

void CHtmlStyleScanner::StartValue()
{
    m_bStyleValue = m_name == "style";
    m_reference.clear();
}

void CHtmlStyleScanner::EndValue()
{
    if (!m_bStyleValue)
        return;
    FlushReference();
    m_css.Finish();
    m_bStyleValue = false;
}

void CHtmlStyleScanner::PutValueChar(char c)
{
    if (!m_bStyleValue)
        return;
    if (!m_reference.empty())
    {
        if (c == ';')
        {
            m_reference += c;
            const std::string decoded = Decode(m_reference);
            m_css.MoveTo(m_nPos + 1 - m_reference.size());
            m_css.Feed(decoded.empty() ? std::string_view(m_reference) : std::string_view(decoded));
            m_reference.clear();
            return;
        }
        if ((IsAlnum(c) || c == '#') && m_reference.size() < kMaxReference)
        {
            m_reference += c;
            return;
        }
        FlushReference();
    }
    if (c == '&')
        m_reference.assign(1, c);
    else
        Css(c);
}

// The reference's bytes are the ones just before the byte being read.
void CHtmlStyleScanner::FlushReference()
{
    m_css.MoveTo(m_nPos - m_reference.size());
    m_css.Feed(m_reference);
    m_reference.clear();
}

void CHtmlStyleScanner::PutStyleContent(char c)
{
    if (m_held.size() == kStyleClose.size())
    {
        // "</style" counts only when the name ends there.
        if (IsSpace(c) || c == '/' || c == '>')
        {
            m_css.Finish();
            m_held.clear();
            m_state = State::InTag;
            if (c == '>')
                EndTag();
            return;
        }
    }
    else if (Lower(c) == kStyleClose[m_held.size()])
    {
        m_held += c;
        return;
    }
    m_css.MoveTo(m_nPos - m_held.size());
    m_css.Feed(m_held);
    m_held.clear();
    if (c == '<')
        m_held += c;
    else
        Css(c);
}

void CHtmlStyleScanner::Css(char c)
{
    m_css.MoveTo(m_nPos);
    m_css.Feed(std::string_view(&c, 1));
}
