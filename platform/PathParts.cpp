#include "platform/PathParts.h"

PathParts PathParts::Split(const std::string& path)
{
    PathParts parts;
    size_t pos = 0;
    if (path.size() >= 2 && path[1] == ':')
    {
        parts.drive = path.substr(0, 2);
        pos = 2;
    }

    const size_t lastSeparator = path.find_last_of("/\\");
    size_t nameStart = pos;
    if (lastSeparator != std::string::npos && lastSeparator >= pos)
    {
        parts.dir = path.substr(pos, lastSeparator + 1 - pos);
        nameStart = lastSeparator + 1;
    }

    const std::string name = path.substr(nameStart);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos)
    {
        parts.fname = name;
    }
    else
    {
        parts.fname = name.substr(0, dot);
        parts.ext = name.substr(dot);
    }
    return parts;
}

void PathParts::AddFinalSlash(std::string& path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
}

bool PathParts::NamesHtml(std::string_view name)
{
    return name.find(".htm") != std::string_view::npos || name.find(".shtm") != std::string_view::npos;
}
