#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

CTempDir::CTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "harvestly-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern + "/";
}

CTempDir::~CTempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

CScopedEnv::CScopedEnv(std::string name, const std::string& value) : m_name(std::move(name))
{
    if (const char* old = std::getenv(m_name.c_str()))
    {
        m_bHadValue = true;
        m_oldValue = old;
    }
    ::setenv(m_name.c_str(), value.c_str(), 1);
}

CScopedEnv::~CScopedEnv()
{
    if (m_bHadValue)
        ::setenv(m_name.c_str(), m_oldValue.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void WriteWholeFile(const std::string& path, const std::string& contents)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::set<std::string> FilesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    {
        if (entry.is_regular_file())
            names.insert(std::filesystem::relative(entry.path(), folder).string());
    }
    names.erase("error.log");
    names.erase("shortcut.url");
    return names;
}
