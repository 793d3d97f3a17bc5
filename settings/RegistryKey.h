#pragma once

#include <cstdint>
#include <memory>
#include <string>

class IEngineContext;
class QSettings;
class QString;

enum class RegistryRoot
{
    CurrentUser,
};

// A short-lived handle on the per-user settings store: open, read or write a few values, close.
// The key Software\QMV\Harvestly lives in $XDG_CONFIG_HOME/QMV/Harvestly.conf (~/.config when
// the variable is unset). Several processes may use it at once; the store merges their writes.
class CRegistryKey
{
public:
    // "Unable to build key [...]" is shown through `pContext`; without one it is only kept in Message().
    explicit CRegistryKey(IEngineContext* pContext = nullptr);
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Opens the key, creating it when missing; shows "Unable to build key [...]" when neither works.
    bool Open(RegistryRoot root, const std::string& subkey);
    bool Create(RegistryRoot root, const std::string& subkey);
    void Close();

    bool WriteString(const std::string& text, const std::string& name);
    bool ReadString(std::string& text, const std::string& name);
    bool WriteDword(std::uint32_t value, const std::string& name);
    // A value that is absent, or whose text is not a 32-bit number, reads as absent and leaves `value` alone.
    bool ReadDword(std::uint32_t& value, const std::string& name);
    bool ReadBool(bool& flag, const std::string& name);

    bool IsOpen() const { return m_hKey != nullptr; }
    const std::string& Message() const { return m_strMessage; }

    // Where the store for `subkey` lives on this system.
    static std::string StorePath(const std::string& subkey);

private:
    bool Store(const std::string& name, const QString& value);

    IEngineContext* m_pContext;
    std::unique_ptr<QSettings> m_hKey;
    std::string m_strMessage;
};
