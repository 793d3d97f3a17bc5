#include "settings/SettingsTable.h"

#include <cstring>

namespace
{

#define HARVESTLY_DWORD_ROW(name, whenAbsent) {kValue##name, SettingType::Dword, whenAbsent, ""},
#define HARVESTLY_TEXT_ROW(name, whenAbsent) {kValue##name, SettingType::Text, 0, whenAbsent},
constexpr SettingDefinition kSettings[] = {HARVESTLY_SETTINGS(HARVESTLY_DWORD_ROW, HARVESTLY_TEXT_ROW)};
#undef HARVESTLY_DWORD_ROW
#undef HARVESTLY_TEXT_ROW

} // namespace

std::span<const SettingDefinition> SettingsTable()
{
    return kSettings;
}

const SettingDefinition* FindSetting(const char* name)
{
    for (const SettingDefinition& setting : kSettings)
    {
        if (std::strcmp(setting.name, name) == 0)
            return &setting;
    }
    return nullptr;
}
