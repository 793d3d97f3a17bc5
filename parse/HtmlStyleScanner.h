#pragma once

#include "parse/CssScanner.h"

#include <cstdint>
#include <string>
#include <string_view>

// Finds the style sheets inside a page, <style> blocks and style="..." attributes, and hands
// their text to a CSS scanner: each block and each attribute value is one stylesheet of its own.
// Attribute values have their character references decoded first, as a browser reads them;
// comments and other markup declarations are passed over. Streams like the CSS scanner.
class CHtmlStyleScanner
{
public:
    explicit CHtmlStyleScanner(CCssScanner::Sink sink);

    void Feed(std::string_view text);
    void Finish();
    // Where the value last handed to the sink lies in the page as fed, as its bytes are written
    // there (character references included).
    CCssScanner::Span LastSpan() const { return m_css.LastSpan(); }

private:
    enum class State : std::uint8_t
    {
        Text,
        TagStart,
        TagName,
        Bang,
        Comment,
        Declaration,
        InTag,
        AttrName,
        AfterAttrName,
        BeforeValue,
        QuotedValue,
        UnquotedValue,
        StyleContent,
    };

    void Put(char c);
    void EndTagName(char c);
    void EndTag();
    void StartValue();
    void EndValue();
    void PutValueChar(char c);
    void FlushReference();
    void PutStyleContent(char c);
    void Css(char c);

    CCssScanner m_css;
    State m_state = State::Text;
    std::string m_name;
    bool m_bStyleElement = false;
    bool m_bStyleValue = false;
    char m_quote = '"';
    int m_nDashes = 0;
    // A character reference being read inside a style attribute ("&quot;").
    std::string m_reference;
    // The start of "</style" as the style block's text has matched it so far, held back.
    std::string m_held;
    std::uint64_t m_nPos = 0; // offset of the byte being read
};
