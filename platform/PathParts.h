#pragma once

#include <string>
#include <string_view>

// A path cut the way the C runtime's _splitpath cuts it: drive ("X:"), directory (up to and
// including the last '/' or '\'), file name, and extension (from the last '.' of the name).
// It works on addresses too: http://host/a/b.html gives directory http://host/a/, name b and
// extension .html.
struct PathParts
{
    std::string drive;
    std::string dir;
    std::string fname;
    std::string ext;

    static PathParts Split(const std::string& path);
    std::string Join() const { return drive + dir + fname + ext; }

    // Makes `path` name a folder: a '/' is added unless it ends with one; an empty path becomes "/".
    static void AddFinalSlash(std::string& path);
    // Whether `name` holds ".htm" or ".shtm" (and so .html, .shtml): the names taken for pages.
    static bool NamesHtml(std::string_view name);
};
