#pragma once

#include <string>
#include <string_view>
#include <vector>

struct RunSettings;

// The user's filter list as one run uses it: which addresses stay on disk. Built from the run's
// "UseFilters", "FilterExclude" and "Filter" values.
class CLinkFilter
{
public:
    explicit CLinkFilter(const RunSettings& settings);

    // True when the address stays on disk.
    bool Passes(const std::string& address) const;

    // Whole-address wildcard match without regard to case: '*' at either end, '?' any one byte.
    static bool MatchPattern(const std::string& address, const std::string& entry);
    // Leftmost position of `pattern` in `text`, '?' standing for any one byte; -1 when absent.
    static long FindWildcard(std::string_view text, std::string_view pattern);

    bool UsesFilters() const { return m_bUseFilters; }
    bool ExcludeMode() const { return m_bExclude; }
    const std::vector<std::string>& Filters() const { return m_filters; }

private:
    std::vector<std::string> m_filters;
    bool m_bUseFilters = false;
    bool m_bExclude = false;
};
