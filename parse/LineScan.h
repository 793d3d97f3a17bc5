#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Finds the link values of one decoded line, left to right, the way the page reader's scan does
// it ("href", "src" and ".open" followed by '=' or '('), in time linear in the line's length:
// keywords are searched in one lowered copy of the line and each keyword's next occurrence is
// remembered, so no byte is searched twice however many values the line holds.
//
// The line must outlive the scan.
class CLineScan
{
public:
    explicit CLineScan(std::string_view line);
    // Lowers the line into `lower`, which must outlive the scan: a caller scanning line after
    // line keeps one buffer, so a long line costs no allocation and no zero-filling each time.
    CLineScan(std::string_view line, std::string& lower);
    CLineScan(const CLineScan&) = delete;
    CLineScan& operator=(const CLineScan&) = delete;

    // The next link value, in the case it has in the page ("HTTP" at its start lowered). It may
    // be empty. False when the line holds no further value.
    bool Next(std::string& link);
    // The text after the last value found, its delimiter included.
    std::string_view Rest() const { return m_line.substr(m_nOffset); }
    std::string_view Line() const { return m_line; }
    // Where the last value found starts in the line, and where its delimiter is.
    size_t ValueBegin() const { return m_nValueBegin; }
    size_t ValueEnd() const { return m_nOffset; }

private:
    size_t NextOccurrence(std::string_view keyword, size_t& cached) const;
    bool HrefHidden() const;
    size_t SkipBlanks(size_t pos) const;
    bool End();

    void Start();

    std::string_view m_line;
    std::string m_ownLower; // for scans given no buffer
    std::string_view m_lower;
    size_t m_nOffset = 0;
    size_t m_nValueBegin = 0;
    bool m_bDone = false;
    // Position of each keyword's next occurrence at or after m_nOffset (npos: none left).
    size_t m_nNextSrc = 0;
    size_t m_nNextOpen = 0;
    size_t m_nNextHref = 0;
    size_t m_nLastDotHref = std::string::npos;
};
