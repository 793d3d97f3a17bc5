#include "crawl/LocalNames.h"

#include "platform/PathParts.h"

namespace LocalNames
{

namespace
{

std::string WithTrailingSlash(std::string strFolder)
{
    PathParts::AddFinalSlash(strFolder);
    return strFolder;
}

} // namespace

LocalName MakeLocalName(const std::string& strUrl, const std::string& strStartDir,
                        const std::string& strDestDir, bool bNoNameAsIndex)
{
    const std::string strRelative =
        strUrl.size() > strStartDir.size() ? strUrl.substr(strStartDir.size()) : "";
    LocalName name;
    name.strPath = CollapseSeparators(WithTrailingSlash(strDestDir) + strRelative);
    const PathParts parts = PathParts::Split(name.strPath);
    if (parts.fname.empty() && parts.ext.empty())
    {
        name.bTemporary = !bNoNameAsIndex;
        name.strPath += bNoNameAsIndex ? "index.html" : "temp.html";
    }
    return name;
}

std::string CollapseSeparators(const std::string& strPath)
{
    std::string result = strPath.substr(0, 1);
    for (size_t i = 1; i < strPath.size(); ++i)
    {
        if (strPath[i] == '/' && i + 1 < strPath.size() && strPath[i + 1] == '/')
            ++i;
        result += strPath[i];
    }
    return result;
}

bool IsInside(const std::string& strPath, const std::string& strDestDir)
{
    const std::string strFolder = CollapseSeparators(WithTrailingSlash(strDestDir));
    if (strPath.compare(0, strFolder.size(), strFolder) != 0)
        return false;
    size_t start = strFolder.size();
    while (start <= strPath.size())
    {
        size_t end = strPath.find('/', start);
        if (end == std::string::npos)
            end = strPath.size();
        if (strPath.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

bool IsHtmlName(const std::string& strPath)
{
    return PathParts::NamesHtml(PathParts::Split(strPath).ext);
}

std::string TypeFromName(const std::string& strPath)
{
    // A stylesheet kept from an earlier run is read like a page kept from one (when the crawl
    // loop follows stylesheets at all).
    if (strPath.ends_with(".css"))
        return "text/css";
    return IsHtmlName(strPath) ? "text/html" : "";
}

std::string StampedName(const std::string& strPath, const std::string& strStamp)
{
    const size_t nameStart = strPath.rfind('/') + 1;
    const size_t dot = strPath.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return strPath + strStamp;
    return strPath.substr(0, dot) + strStamp + strPath.substr(dot);
}

} // namespace LocalNames
