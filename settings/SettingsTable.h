#pragma once

#include <cstdint>
#include <span>

// The one table of stored settings: every reader and writer takes names and defaults from here.
inline constexpr const char* kSettingsKeyPath = "Software\\QMV\\Harvestly";

// Each stored value, once: DWORD(name, value when absent) or TEXT(name, text when absent). The
// name constants (kValueFileCheck...), the table below and the fields of a run's settings
// (RunSettings) are all made from this list, so a new value is one line here.
#define HARVESTLY_SETTINGS(DWORD, TEXT)                                                                      \
    DWORD(FileCheck, 0)          /* 0 skip existing, 1 by date replace, 2 by date rename old */              \
    DWORD(Retries, 0)            /* extra attempts after a failed fetch, 0 to 5 */                           \
    DWORD(ContinueOnError, 0)    /* go on after a failed fetch when non-zero */                              \
    DWORD(NoNameAsIndex, 0)      /* keep folder addresses as index.html when non-zero */                     \
    DWORD(UseFilters, 0)         /* apply the filter list when above 0 */                                    \
    TEXT(Filter, "")             /* entries joined by ';', no trailing one */                                \
    DWORD(FilterExclude, 0)      /* the list names what is left out when above 0 */                          \
    DWORD(Stealth, 0)            /* shown and stored, nothing else */                                        \
    DWORD(Depth, 0)              /* folder levels below the start folder, 0 no limit */                      \
    DWORD(AllowHttps, 0)         /* accept https:// start addresses when non-zero */                         \
    DWORD(HtmlWithParameters, 0) /* read text/html with parameters, in any case, and XHTML */                \
    DWORD(FollowCss, 0)          /* follow url() and @import of stylesheets when non-zero */                 \
    DWORD(Robots, 0)             /* honour the start server's robots.txt when non-zero */                    \
    DWORD(WaitMs, 0)             /* pause between two requests, milliseconds */                              \
    DWORD(LimitRate, 0)          /* body bytes per second, 0 no limit */                                     \
    DWORD(ConvertLinks, 0)       /* rewrite links of stored pages to browse offline when non-zero */         \
    DWORD(Connections, 0)        /* transfers at once, 0 or 1 one at a time, at most 8 */                    \
    DWORD(Compressed, 0)         /* ask for compressed bodies and store them decoded when non-zero */        \
    DWORD(Resume, 0)             /* keep a cut transfer's part and ask for the rest when non-zero */

// The most transfers a run drives at once.
inline constexpr std::uint32_t kMaxConnections = 8;

#define HARVESTLY_VALUE_NAME(name, ...) inline constexpr const char* kValue##name = #name;
HARVESTLY_SETTINGS(HARVESTLY_VALUE_NAME, HARVESTLY_VALUE_NAME)
#undef HARVESTLY_VALUE_NAME

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
