#include "parse/LinkFilter.h"

#include "platform/AsciiText.h"
#include "settings/RunSettings.h"

CLinkFilter::CLinkFilter(const RunSettings& settings)
{
    // The exclude mode and the list count only while filtering is on.
    if (settings.nUseFilters == 0)
        return;
    m_bUseFilters = true;
    m_bExclude = settings.nFilterExclude > 0;
    if (!settings.strFilter)
        return;
    // Entries are joined without a trailing ';', so the text after the last one is an entry too,
    // even when empty.
    const std::string& strFilter = *settings.strFilter;
    size_t start = 0;
    for (size_t semicolon; (semicolon = strFilter.find(';', start)) != std::string::npos;
         start = semicolon + 1)
        m_filters.push_back(strFilter.substr(start, semicolon - start));
    m_filters.push_back(strFilter.substr(start));
}

bool CLinkFilter::Passes(const std::string& address) const
{
    if (!m_bUseFilters || m_filters.empty())
        return true;
    bool bMatch = false;
    for (const std::string& entry : m_filters)
    {
        if (MatchPattern(address, entry))
        {
            bMatch = true;
            break;
        }
    }
    return m_bExclude ? !bMatch : bMatch;
}

bool CLinkFilter::MatchPattern(const std::string& address, const std::string& entry)
{
    if (entry.empty())
        return false;
    if (entry == "*")
        return true;

    std::string_view core = entry;
    const bool bLeading = core.front() == '*';
    if (bLeading)
        core.remove_prefix(1);
    const bool bTrailing = !core.empty() && entry.back() == '*';
    if (bTrailing)
        core.remove_suffix(1);
    if (core.empty())
        return true;

    const std::string lowerCore = AsciiText::ToLower(core);
    const std::string lowerAddress = AsciiText::ToLower(address);
    const long found = lowerCore.find('?') == std::string::npos
                           ? static_cast<long>(lowerAddress.find(lowerCore))
                           : FindWildcard(lowerAddress, lowerCore);
    if (found < 0)
        return false;
    if (bTrailing)
        return true;
    if (bLeading)
        return static_cast<size_t>(found) + lowerCore.size() == lowerAddress.size();
    return lowerAddress.size() == entry.size();
}

long CLinkFilter::FindWildcard(std::string_view text, std::string_view pattern)
{
    if (pattern.size() > text.size())
        return -1;
    for (size_t start = 0; start + pattern.size() <= text.size(); ++start)
    {
        size_t i = 0;
        while (i < pattern.size() && (pattern[i] == '?' || pattern[i] == text[start + i]))
            ++i;
        if (i == pattern.size())
            return static_cast<long>(start);
    }
    return -1;
}
