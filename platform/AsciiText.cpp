#include "platform/AsciiText.h"

namespace AsciiText
{

char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char ToUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string ToLower(std::string_view text)
{
    std::string result(text);
    MakeLower(result);
    return result;
}

std::string ToUpper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = ToUpper(c);
    return result;
}

void MakeLower(std::string& text)
{
    for (char& c : text)
        c = ToLower(c);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAlnum(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
    {
        if (ToLower(text[i]) != ToLower(prefix[i]))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace AsciiText
