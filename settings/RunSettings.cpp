#include "settings/RunSettings.h"

#include "settings/RegistryKey.h"

namespace
{

std::optional<std::uint32_t> ParseDword(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text)
    {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

RunSettings RunSettings::Read(IEngineContext* pContext)
{
    RunSettings settings;
    CRegistryKey key(pContext);
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return settings;
        // A value that is absent leaves the field alone, so the result of each read is not needed.
#define HARVESTLY_READ_DWORD(name, whenAbsent) (void)key.ReadDword(settings.n##name, kValue##name);
#define HARVESTLY_READ_TEXT(name, whenAbsent)                                                                \
    if (std::string text; key.ReadString(text, kValue##name))                                                \
        settings.str##name = std::move(text);
    HARVESTLY_SETTINGS(HARVESTLY_READ_DWORD, HARVESTLY_READ_TEXT)
#undef HARVESTLY_READ_DWORD
#undef HARVESTLY_READ_TEXT
    key.Close();
    return settings;
}

bool RunSettings::Set(const std::string& name, const std::string& text)
{
#define HARVESTLY_SET_DWORD(name_, whenAbsent)                                                               \
    if (name == kValue##name_)                                                                               \
    {                                                                                                        \
        const std::optional<std::uint32_t> value = ParseDword(text);                                         \
        if (value)                                                                                           \
            n##name_ = *value;                                                                               \
        return value.has_value();                                                                            \
    }
#define HARVESTLY_SET_TEXT(name_, whenAbsent)                                                                \
    if (name == kValue##name_)                                                                               \
    {                                                                                                        \
        str##name_ = text;                                                                                   \
        return true;                                                                                         \
    }
    HARVESTLY_SETTINGS(HARVESTLY_SET_DWORD, HARVESTLY_SET_TEXT)
#undef HARVESTLY_SET_DWORD
#undef HARVESTLY_SET_TEXT
    return false;
}
