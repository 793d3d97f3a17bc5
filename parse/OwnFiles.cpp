#include "parse/OwnFiles.h"

#include "platform/AsciiText.h"

#include <utility>

namespace
{

std::string_view NameOf(std::string_view path)
{
    return path.substr(path.rfind('/') + 1); // the whole path without a folder
}

} // namespace

COwnFiles::COwnFiles(const std::vector<std::string>& paths, std::string strDestDir, std::string strStartDir,
                     bool bNoNameAsIndex)
    : m_strDestDir(std::move(strDestDir)), m_strStartDir(std::move(strStartDir)),
      m_bNoNameAsIndex(bNoNameAsIndex)
{
    for (const std::string& path : paths)
    {
        if (const std::optional<FileSystem::Identity> identity = FileSystem::IdentityOf(path))
            m_files.push_back({path, AsciiText::ToLower(NameOf(path)), *identity});
    }
}

std::optional<std::string> COwnFiles::Replaced(const std::string& address) const
{
    if (m_files.empty())
        return std::nullopt;
    // The local name as the fetcher gives it: the address after the start folder, below the
    // destination. A folder address is stored as index.html, or else only under a private name
    // that never replaces anything.
    const bool bFolder = address.empty() || address.back() == '/';
    if (bFolder && !m_bNoNameAsIndex)
        return std::nullopt;
    const std::string_view name = bFolder ? std::string_view("index.html") : NameOf(address);
    // Names are compared without regard to case first, as a file system may compare them; only
    // a name that may be one of ours costs a look at the disk. Links are many, own files few.
    std::optional<FileSystem::Identity> identity;
    for (const File& file : m_files)
    {
        if (file.lowerName.size() != name.size() || !AsciiText::StartsWithNoCase(name, file.lowerName))
            continue;
        if (!identity)
        {
            std::string local = m_strDestDir;
            if (address.size() > m_strStartDir.size())
                local.append(address, m_strStartDir.size());
            if (bFolder)
                local += name;
            identity = FileSystem::IdentityOf(local);
            if (!identity)
                return std::nullopt;
        }
        if (*identity == file.identity)
            return file.path;
    }
    return std::nullopt;
}
