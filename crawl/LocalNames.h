#pragma once

#include <string>

// Where an address is stored: pure functions of the address, the start folder and the
// destination, so that every rule can be checked without a server or a disk.
namespace LocalNames
{

struct LocalName
{
    std::string strPath;
    // A folder page stored as temp.html, only to be read for links and then deleted.
    bool bTemporary = false;
};

// The file for `strUrl` below `strDestDir`: the part of the address after `strStartDir`, with
// neighbouring separators collapsed. An address that names no file becomes index.html with
// `bNoNameAsIndex`, temp.html (temporary) without.
LocalName MakeLocalName(const std::string& strUrl, const std::string& strStartDir,
                        const std::string& strDestDir, bool bNoNameAsIndex);

// From the second character on, the first of two neighbouring '/' goes: a run of three becomes two.
std::string CollapseSeparators(const std::string& strPath);

// Whether `strPath` lies below `strDestDir` with no ".." step: server data must never place a
// file outside the destination folder.
bool IsInside(const std::string& strPath, const std::string& strDestDir);

// Whether the extension names a page (.htm, .html, .shtm, .shtml; case counts).
bool IsHtmlName(const std::string& strPath);

// The type a copy kept from an earlier run is read as: "text/html" for a page name, "text/css"
// for a stylesheet, otherwise none.
std::string TypeFromName(const std::string& strPath);

// `strPath` with `strStamp` before the extension of its file name; a dot in a folder name is no
// extension.
std::string StampedName(const std::string& strPath, const std::string& strStamp);

} // namespace LocalNames
