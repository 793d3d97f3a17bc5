#pragma once

#include <string>
#include <string_view>

// Byte strings hold UTF-8. Every byte of a multi-byte UTF-8 sequence has its high bit set, so
// ASCII keywords, delimiters and case changes can never match or touch part of one: working on
// ASCII bytes only is what keeps multi-byte characters whole.
namespace AsciiText
{

char ToLower(char c);
char ToUpper(char c);
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
void MakeLower(std::string& text);
bool IsDigit(char c);
bool IsAlnum(char c);
bool IsBlank(char c); // space, tab, CR, LF, vertical tab, form feed
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// `text` without the blanks (IsBlank) at either end.
std::string_view Trim(std::string_view text);

} // namespace AsciiText
