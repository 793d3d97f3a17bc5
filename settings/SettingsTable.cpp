#include "settings/SettingsTable.h"

#include <array>
#include <cstring>

namespace
{

constexpr std::array<SettingDefinition, 9> kSettings = {{
    {kValueFileCheck, SettingType::Dword, 0, ""}, // 0 skip existing, 1 by date replace, 2 by date rename old
    {kValueRetries, SettingType::Dword, 0, ""},   // extra attempts after a failed fetch, 0 to 5
    {kValueContinueOnError, SettingType::Dword, 0, ""}, // go on after a failed fetch when non-zero
    {kValueNoNameAsIndex, SettingType::Dword, 0, ""},   // keep folder addresses as index.html when non-zero
    {kValueUseFilters, SettingType::Dword, 0, ""},      // apply the filter list when above 0
    {kValueFilter, SettingType::Text, 0, ""},           // entries joined by ';', no trailing one
    {kValueFilterExclude, SettingType::Dword, 0, ""},   // the list names what is left out when above 0
    {kValueStealth, SettingType::Dword, 0, ""},         // shown and stored, nothing else
    {kValueDepth, SettingType::Dword, 0, ""},           // folder levels below the start folder, 0 no limit
}};

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
