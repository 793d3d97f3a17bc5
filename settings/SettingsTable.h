#pragma once

#include <cstdint>
#include <span>

// The one table of stored settings: every reader and writer takes names and defaults from here.
inline constexpr const char* kSettingsKeyPath = "Software\\QMV\\Harvestly";

inline constexpr const char* kValueFileCheck = "FileCheck";
inline constexpr const char* kValueRetries = "Retries";
inline constexpr const char* kValueContinueOnError = "ContinueOnError";
inline constexpr const char* kValueNoNameAsIndex = "NoNameAsIndex";
inline constexpr const char* kValueUseFilters = "UseFilters";
inline constexpr const char* kValueFilter = "Filter";
inline constexpr const char* kValueFilterExclude = "FilterExclude";
inline constexpr const char* kValueStealth = "Stealth";
inline constexpr const char* kValueDepth = "Depth";

enum class SettingType
{
    Dword,
    Text,
};

struct SettingDefinition
{
    const char* name;
    SettingType type;
    std::uint32_t dwordWhenAbsent;
    const char* textWhenAbsent;
};

std::span<const SettingDefinition> SettingsTable();
const SettingDefinition* FindSetting(const char* name);
