#pragma once

#include "platform/LocalFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Reads a stored page one line at a time, as a text-mode read does: a line ends at a line feed,
// which is not part of it, and a carriage return just before that line feed is dropped. Lines
// have no length limit.
class CLineReader
{
public:
    // Opens for reading; writers are shut out while the reader is open.
    bool Open(const std::string& path);
    // Reads the lines of `text` instead, the same way; the text must outlive the reader.
    void OpenText(std::string_view text);
    // False at the end of the file or on a read failure (see Failed).
    bool ReadLine(std::string& line);
    bool Failed() const { return m_bFailed; }
    // Where the line ReadLine last gave starts, in bytes from the start of the file or text.
    std::uint64_t LineStart() const { return m_nLineStart; }
    const SystemError& LastError() const { return m_file.LastError(); }

private:
    bool Fill();

    CLocalFile m_file;
    std::unique_ptr<char[]> m_buffer;
    std::string_view m_text;
    bool m_bText = false;
    const char* m_pData = nullptr; // the block being read: the buffer, or the text
    size_t m_nPos = 0;
    size_t m_nEnd = 0;
    std::uint64_t m_nBlockStart = 0; // offset of m_pData[0] in the file
    std::uint64_t m_nLineStart = 0;
    bool m_bEof = false;
    bool m_bFailed = false;
};
