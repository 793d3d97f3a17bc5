#pragma once

#include "parse/LinkReport.h"
#include "platform/LocalFile.h"

#include <string>

// A link report written as CSV (RFC 4180): a heading line, then one line per link value with the
// page, the value as found, the resolved address and its fate. Opened before a run so that a
// path that cannot be written is refused before anything is fetched.
class CLinkReportFile : public ILinkReport
{
public:
    CLinkReportFile() = default;
    ~CLinkReportFile() override;
    CLinkReportFile(const CLinkReportFile&) = delete;
    CLinkReportFile& operator=(const CLinkReportFile&) = delete;

    // Creates (or empties) the file and writes the heading; false with LastError() otherwise.
    bool Open(const std::string& path);
    void Report(std::string_view page, std::string_view value, std::string_view address,
                LinkFate fate) override;
    // Writes what is left; false when any write failed.
    bool Close();

    const SystemError& LastError() const { return m_file.LastError(); }
    const std::string& Path() const { return m_strPath; }
    bool Opened() const { return m_bOpened; }

    // `field` quoted when it holds a comma, a quote or a line break; quotes doubled.
    static void AppendField(std::string& line, std::string_view field);

private:
    bool FlushBuffer();

    CLocalFile m_file;
    std::string m_strPath;
    std::string m_buffer;
    bool m_bFailed = false;
    bool m_bOpened = false;
};
