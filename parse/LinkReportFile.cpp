#include "parse/LinkReportFile.h"

namespace
{

constexpr size_t kFlushBytes = size_t{64} * 1024;

} // namespace

const char* LinkFateText(LinkFate fate)
{
    switch (fate)
    {
    case LinkFate::QueuedAsPage:
        return "queued as page";
    case LinkFate::QueuedAsFile:
        return "queued as file";
    case LinkFate::AlreadyKnown:
        return "already known";
    case LinkFate::OutsideStartFolder:
        return "outside the start folder";
    case LinkFate::AnotherServer:
        return "another server";
    case LinkFate::TooDeep:
        return "too deep";
    case LinkFate::LeftOutByFilter:
        return "left out by the filter";
    case LinkFate::LeftOutByFilterReadForLinks:
        return "left out by the filter but read for links";
    case LinkFate::NotALink:
        return "not a link";
    case LinkFate::DisallowedByRobots:
        return "disallowed by robots.txt";
    case LinkFate::RunsOwnFile:
        return "the run's own file";
    }
    return "";
}

CLinkReportFile::~CLinkReportFile()
{
    // Only a report that was never closed by its owner ends here; its owner has no one to tell.
    (void)Close();
}

bool CLinkReportFile::Open(const std::string& path)
{
    m_strPath = path;
    if (!m_file.Open(path, CLocalFile::Mode::CreateTruncate))
        return false;
    m_bOpened = true;
    m_buffer = "page,value,address,fate\r\n";
    return FlushBuffer();
}

void CLinkReportFile::Report(std::string_view page, std::string_view value, std::string_view address,
                             LinkFate fate)
{
    AppendField(m_buffer, page);
    m_buffer += ',';
    AppendField(m_buffer, value);
    m_buffer += ',';
    AppendField(m_buffer, address);
    m_buffer += ',';
    m_buffer += LinkFateText(fate);
    m_buffer += "\r\n";
    if (m_buffer.size() >= kFlushBytes)
        FlushBuffer();
}

bool CLinkReportFile::Close()
{
    if (!m_file.IsOpen())
        return !m_bFailed;
    FlushBuffer();
    if (!m_file.Close())
        m_bFailed = true;
    return !m_bFailed;
}

bool CLinkReportFile::FlushBuffer()
{
    if (!m_buffer.empty() && !m_bFailed && !m_file.Write(m_buffer.data(), m_buffer.size()))
        m_bFailed = true;
    m_buffer.clear();
    return !m_bFailed;
}

void CLinkReportFile::AppendField(std::string& line, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
    {
        line += field;
        return;
    }
    line += '"';
    for (const char c : field)
    {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}
