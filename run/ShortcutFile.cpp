#include "run/ShortcutFile.h"

#include "platform/FileSystem.h"
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

// A shortcut is a few short lines; what lies beyond this is not read, so a huge file or a
// device named as one costs no more than this.
constexpr size_t kMaxReadBytes = size_t{16} * 1024;

std::optional<std::string> ReadStart(const std::string& path)
{
    std::optional<std::string> text = FileSystem::ReadFileStart(path, kMaxReadBytes + 1);
    if (text && text->size() > kMaxReadBytes)
    {
        // A line cut off by the limit is no value: a shortened address or password would be
        // taken for the whole one.
        const size_t lastEnd = text->rfind('\n', kMaxReadBytes - 1);
        text->resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    }
    return text;
}

} // namespace

bool CShortcutFile::Write(const std::string& destination, const std::string& url, const std::string& userId,
                          const std::string& password, SystemError* error)
{
    std::string path = destination;
    PathParts::AddFinalSlash(path);
    path += kFileName;

    const std::string text =
        "[InternetShortcut]\r\nURL=" + url + "\r\nUser=" + userId + "\r\nPassword=" + password + "\r\n";
    // A new owner-only file moved into place: an older copy readable by others, or a link at the
    // name, never gets to hold the password.
    const std::string partial = FileSystem::PartialPath(path);
    CLocalFile file;
    if (!file.Open(partial, CLocalFile::Mode::CreateFresh, 0600))
    {
        if (error)
            *error = file.LastError();
        return false;
    }
    if (!file.Write(text.data(), text.size()) || !file.Close())
    {
        if (error)
            *error = file.LastError();
        file.Close();
        FileSystem::Delete(partial);
        return false;
    }
    if (!FileSystem::Move(partial, path, error))
    {
        FileSystem::Delete(partial);
        return false;
    }
    return true;
}

std::optional<ShortcutContents> CShortcutFile::Read(const std::string& path)
{
    const std::optional<std::string> text = ReadStart(path);
    if (!text)
        return std::nullopt;

    const std::vector<std::string> lines = SplitLines(*text);
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
