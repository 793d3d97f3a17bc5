#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Finds the addresses a stylesheet names, as the CSS tokenizer reads them: the value of every
// url(...) (quoted or not) and the string after @import. Comments are skipped, strings are read
// whole so that "url(" inside one names nothing, escapes are decoded (UTF-8 out) and newlines
// normalised. The text arrives in pieces of any size and is never held whole: only the value
// being read is kept, up to kMaxValue bytes (a longer one is dropped).
//
//     CCssScanner scanner([&](std::string_view value) { ... });
//     scanner.Feed(block); ... scanner.Finish();
class CCssScanner
{
public:
    using Sink = std::function<void(std::string_view value)>;
    static constexpr size_t kMaxValue = 8192;

    explicit CCssScanner(Sink sink);

    // Where the value last handed to the sink lies in the text as fed, as byte offsets: its text
    // between the quotes or the parentheses, escapes as written. For a caller that rewrites it.
    struct Span
    {
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
    };
    Span LastSpan() const { return m_span; }
    // The offset the next byte fed has, for a caller that feeds a text in pieces of its own or
    // with parts left out. Offsets count from 0 again after Finish.
    void MoveTo(std::uint64_t nPos) { m_nPos = nPos; }

    void Feed(std::string_view text);
    // The end of the stylesheet (or of one style attribute): a url( or an @import string still
    // open ends here, as the tokenizer ends it. The scanner is then ready for a new text.
    void Finish();

private:
    enum class State : std::uint8_t
    {
        Data,
        Slash,
        Comment,
        CommentStar,
        Prefix, // after '@' or '#'
        Word,
        WordEscape,
        WordHex,
        AfterImport,
        UrlStart,
        UrlBody,
        UrlEscape,
        UrlHex,
        UrlTrail,
        BadUrl,
        BadUrlEscape,
        String,
        StringEscape,
        StringHex,
    };
    enum class StringUse : std::uint8_t
    {
        Skip,
        Value,
    };

    void Put(char c);
    void PutData(char c);
    void PutWord(char c);
    void EndWord(char c);
    void PutUrl(char c);
    void PutString(char c);
    // Hex escapes: true when `c` was taken as part of the escape.
    bool PutHex(char c);
    void EndHex();
    void Append(char c);
    void AppendCodePoint(std::uint32_t code);
    void AppendWordChar(char c);
    void Emit();
    void Emit(std::uint64_t nEnd);
    void StartValue();
    bool StartsValueText(char c) const;

    Sink m_sink;
    State m_state = State::Data;
    State m_afterComment = State::Data;
    State m_afterHex = State::Data;
    StringUse m_stringUse = StringUse::Skip;
    char m_quote = '"';
    char m_prefix = 0;
    bool m_bLastWasReturn = false;
    bool m_bOverflow = false;
    std::uint32_t m_nHexValue = 0;
    int m_nHexDigits = 0;
    std::string m_value;
    std::uint64_t m_nPos = 0; // offset of the byte being read
    std::uint64_t m_nTrailStart = 0;
    bool m_bBeginPending = false;
    Span m_span;
    // The word's letters decoded and lowered, enough to tell "url" and "import" from others.
    std::string m_word;
};
