#pragma once

#include "settings/SettingsTable.h"

#include <cstdint>
#include <optional>
#include <string>

class IEngineContext;

// The stored settings as one run uses them: read once when the run starts, edited by whoever
// starts it (the console's options replace values for that run only), then handed to the job,
// the fetcher and the link parser. One field per value of the settings table: nRetries for
// "Retries", strFilter for "Filter"...
struct RunSettings
{
#define HARVESTLY_DWORD_FIELD(name, whenAbsent) std::uint32_t n##name = whenAbsent;
// An absent text is no text at all, which is not the same as an empty one: filtering with an
// empty "Filter" has one entry that matches nothing, filtering without one has no entries.
#define HARVESTLY_TEXT_FIELD(name, whenAbsent) std::optional<std::string> str##name;
    HARVESTLY_SETTINGS(HARVESTLY_DWORD_FIELD, HARVESTLY_TEXT_FIELD)
#undef HARVESTLY_DWORD_FIELD
#undef HARVESTLY_TEXT_FIELD

    // Every value from the store; a value that is absent, or a store that cannot be opened (one
    // "Unable to build key [...]" message through `pContext`), leaves the table's default.
    static RunSettings Read(IEngineContext* pContext);

    // Replaces the value named `name` with `text`, read as the store reads its text. False when
    // no value has that name or a 32-bit value's text is not a number; nothing changes then.
    [[nodiscard]] bool Set(const std::string& name, const std::string& text);
};
