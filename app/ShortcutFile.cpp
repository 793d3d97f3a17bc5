#include "app/ShortcutFile.h"

#include "platform/LocalFile.h"
#include "platform/PathParts.h"

#include <vector>

namespace
{

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        // A file written on Windows, or by us, ends its lines with CR LF; the CR is not part of a value.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string ValueOf(const std::string& line)
{
    const size_t equals = line.find('=');
    return equals == std::string::npos ? line : line.substr(equals + 1);
}

bool ReadAll(const std::string& path, std::string& text)
{
    CLocalFile file;
    if (!file.Open(path, CLocalFile::Mode::ReadExisting))
        return false;
    char buffer[4096];
    for (;;)
    {
        const long got = file.Read(buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        text.append(buffer, static_cast<size_t>(got));
    }
}

} // namespace

bool CShortcutFile::Write(const std::string& destination, const std::string& url, const std::string& userId,
                          const std::string& password, SystemError* error)
{
    std::string path = destination;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += kFileName;

    const std::string text =
        "[InternetShortcut]\r\nURL=" + url + "\r\nUser=" + userId + "\r\nPassword=" + password + "\r\n";
    CLocalFile file;
    const bool ok = file.Open(path, CLocalFile::Mode::CreateTruncate, 0600) &&
                    file.Write(text.data(), text.size()) && file.Close();
    if (!ok && error)
        *error = file.LastError();
    return ok;
}

std::optional<ShortcutContents> CShortcutFile::Read(const std::string& path)
{
    std::string text;
    if (!ReadAll(path, text))
        return std::nullopt;

    const std::vector<std::string> lines = SplitLines(text);
    ShortcutContents contents;
    // Lines are read in turn: without the header the address line is not consumed, so the
    // user id and password come one line earlier.
    size_t next = 1;
    if (lines.size() >= 2 && lines[0] == "[InternetShortcut]")
        contents.strUrl = ValueOf(lines[next++]);

    const PathParts parts = PathParts::Split(path);
    if (parts.fname + parts.ext == kFileName)
    {
        contents.strDestination = parts.drive + parts.dir;
        if (lines.size() > next)
            contents.strUserId = ValueOf(lines[next++]);
        if (lines.size() > next)
            contents.strPassword = ValueOf(lines[next]);
    }
    return contents;
}
