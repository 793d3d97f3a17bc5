#pragma once

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

// Lines of page text built from the pieces the link rules care about: keywords in mixed case,
// quotes, delimiters, blanks, entities, escapes, "<script", ".href", addresses near and far,
// multi-byte and invalid UTF-8, zero bytes. Deterministic for a given seed.
class CRandomPage
{
public:
    explicit CRandomPage(unsigned seed) : m_random(seed) {}

    std::string Line(size_t maxPieces = 24)
    {
        std::string line;
        if (Below(10) == 0)
            line += Pick({"<script", "<SCRIPT ", " <script "});
        const size_t count = Below(maxPieces + 1);
        for (size_t i = 0; i < count; ++i)
            line += Below(3) == 0 ? Link() : Noise();
        return line;
    }

    // Something close to a link: a keyword, blanks, '=' or '(', quotes, a value, a delimiter,
    // each part now and then wrong.
    std::string Link()
    {
        std::string link = Pick({"href", "HREF", "HrEf", "src", "SRC", "sRc", ".open", ".OPEN",
                                 "location.href", "<a href", "<img src", "window.open"});
        if (Below(3) == 0)
            link += Pick({" ", "\t", " \v", "\r\f "});
        link += Below(12) == 0 ? Noise() : Pick({"=", "=", "=", "("});
        if (Below(3) == 0)
            link += Pick({" ", "\t", " \v "});
        link += Pick({"", "", "'", "\"", "\"'", "'\"", "&quot;", "%22", "%27"});
        for (size_t n = 1 + Below(4); n > 0; --n)
            link += Below(6) == 0 ? Noise() : Path();
        link += Pick({"'", "\"", ">", "?x=1", " ", "'>", "\">", "", "\t", "&quot;", "%20", "%3E"});
        return link;
    }

    std::string Path()
    {
        return Pick({"a.html",
                     "b.htm",
                     "c.shtml",
                     "Sub",
                     "sub/",
                     "pic.gif",
                     "x.cgi",
                     "y.CGI",
                     "z.pl",
                     "PAGE.HTM",
                     "../",
                     "./",
                     "/a/",
                     "/a/b/",
                     "/x/",
                     "/",
                     "//",
                     "#top",
                     "#",
                     "\\",
                     "mailto:me",
                     "FTP:x",
                     "file:f",
                     "news:group",
                     "http://host:8080/a/",
                     "http://host:8080/",
                     "http://host/a/",
                     "http://host:80800/a/",
                     "http://hostile:8080/a/",
                     "HTTP://host:8080/a/",
                     "Http://host:8080/a/",
                     "https://host:8080/a/",
                     "images/",
                     "..",
                     ".",
                     "%2e%2e/",
                     "é",
                     "日本",
                     "d%41.gif",
                     "b/c/d/e.html",
                     "&amp;",
                     "x&amp;amp;y.gif",
                     "%00",
                     "%0A",
                     "q%0d.gif",
                     "<",
                     "a\tb.html"});
    }

    std::string Noise()
    {
        if (Below(4) == 0)
            return std::string(1, static_cast<char>(Below(256)));
        return Pick({"=",         "(",        " = ",
                     "\t",        " ",        "'",
                     "\"",        "\"'",      ">",
                     "?",         "<",        "&amp;",
                     "&amp;amp;", "&quot;",   "&amp;quot;",
                     "&",         "&am",      "amp;",
                     "%20",       "%41",      "%2F",
                     "%4",        "%",        "%zz",
                     "%%41",      "%3C",      ".href",
                     "<p>",       "text",     "é",
                     "日本",      "\xff\xfe", std::string(1, '\0'),
                     "\r",        ";",        "src",
                     "href",      ".open"});
    }

    std::string Text(size_t maxLines, size_t maxPieces = 24)
    {
        std::string text;
        const size_t count = Below(maxLines + 1);
        for (size_t i = 0; i < count; ++i)
        {
            text += Line(maxPieces);
            if (i + 1 < count || Below(2) == 0)
                text += Below(3) == 0 ? "\r\n" : "\n";
        }
        return text;
    }

    // Text over a small alphabet, for the address rewriting and pattern rules.
    std::string Over(const std::string& alphabet, size_t maxLength)
    {
        std::string text;
        const size_t length = Below(maxLength + 1);
        for (size_t i = 0; i < length; ++i)
            text += alphabet[Below(alphabet.size())];
        return text;
    }

    const std::string& Pick(std::initializer_list<std::string> choices)
    {
        m_picked = *(choices.begin() + Below(choices.size()));
        return m_picked;
    }

    size_t Below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(m_random); }

private:
    std::mt19937 m_random;
    std::string m_picked;
};
