#pragma once

#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"
#include "support/ScopedNoDacOverride.h"
#include "support/TestApp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// What the store holds now, read through a key of its own.
inline std::optional<std::uint32_t> StoredDword(const char* name)
{
    CRegistryKey key;
    std::uint32_t value = 0;
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath) || !key.ReadDword(value, name))
        return std::nullopt;
    return value;
}

inline std::optional<std::string> StoredString(const char* name)
{
    CRegistryKey key;
    std::string text;
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath) || !key.ReadString(text, name))
        return std::nullopt;
    return text;
}

enum class StoreLock
{
    // The store exists and can be read, but every write is refused.
    ReadOnly,
    // There is no store and none can be made: the key cannot be opened at all.
    CannotCreate,
};

// While it lives, the test's settings store is locked as `lock` says.
class CLockedStore
{
public:
    explicit CLockedStore(CTestApp& test, StoreLock lock = StoreLock::ReadOnly)
        : m_strFile(CRegistryKey::StorePath(kSettingsKeyPath)), m_strFolder(test.ConfigHome() + "QMV")
    {
        if (lock == StoreLock::CannotCreate)
        {
            ::unlink(m_strFile.c_str());
            ::rmdir(m_strFolder.c_str());
            m_strFolder = test.ConfigHome();
        }
        ::chmod(m_strFile.c_str(), 0444);
        ::chmod(m_strFolder.c_str(), 0555);
    }

    ~CLockedStore()
    {
        ::chmod(m_strFolder.c_str(), 0755);
        ::chmod(m_strFile.c_str(), 0644);
    }

    CLockedStore(const CLockedStore&) = delete;
    CLockedStore& operator=(const CLockedStore&) = delete;

private:
    std::string m_strFile;
    std::string m_strFolder;
    CScopedNoDacOverride m_asOrdinaryUser;
};

inline const std::string kBuildKeyMessage = "Unable to build key [Software\\QMV\\Harvestly]";
