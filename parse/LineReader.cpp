#include "parse/LineReader.h"

#include <cstring>

namespace
{

constexpr size_t kBlockSize = size_t{64} * 1024;

}

bool CLineReader::Open(const std::string& path)
{
    m_buffer = std::make_unique_for_overwrite<char[]>(kBlockSize);
    return m_file.Open(path, CLocalFile::Mode::ReadExisting);
}

void CLineReader::OpenText(std::string_view text)
{
    m_text = text;
    m_bText = true;
}

bool CLineReader::ReadLine(std::string& line)
{
    line.clear();
    bool bAny = false;
    for (;;)
    {
        if (m_nPos == m_nEnd && !Fill())
            break;
        if (!bAny)
            m_nLineStart = m_nBlockStart + m_nPos;
        bAny = true;
        const char* begin = m_pData + m_nPos;
        const char* end = m_pData + m_nEnd;
        const char* feed =
            static_cast<const char*>(std::memchr(begin, '\n', static_cast<size_t>(end - begin)));
        if (!feed)
            feed = end;
        line.append(begin, feed);
        m_nPos += static_cast<size_t>(feed - begin);
        if (feed != end)
        {
            ++m_nPos;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
    }
    return bAny && !m_bFailed;
}

bool CLineReader::Fill()
{
    if (m_bEof || m_bFailed)
        return false;
    if (m_bText)
    {
        // The whole text is one block.
        m_bEof = true;
        m_nBlockStart = 0;
        m_pData = m_text.data();
        m_nPos = 0;
        m_nEnd = m_text.size();
        return m_nEnd != 0;
    }
    const long count = m_file.Read(m_buffer.get(), kBlockSize);
    if (count < 0)
        m_bFailed = true;
    if (count <= 0)
    {
        m_bEof = true;
        return false;
    }
    m_nBlockStart += m_nEnd;
    m_pData = m_buffer.get();
    m_nPos = 0;
    m_nEnd = static_cast<size_t>(count);
    return true;
}
