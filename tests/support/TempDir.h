#pragma once

#include <set>
#include <string>

// A throwaway folder for one test, removed with everything in it when the test ends.
class CTempDir
{
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // The folder, ending with '/'.
    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + relative; }

private:
    std::string m_path;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class CScopedEnv
{
public:
    CScopedEnv(std::string name, const std::string& value);
    ~CScopedEnv();
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_oldValue;
    bool m_bHadValue = false;
};

// Small file helpers for assertions.
std::string ReadWholeFile(const std::string& path);
// Every file below `folder`, relative to it, leaving out the run's own error.log and shortcut.url.
std::set<std::string> FilesIn(const std::string& folder);
void WriteWholeFile(const std::string& path, const std::string& contents);
