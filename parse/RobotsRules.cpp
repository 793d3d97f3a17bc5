#include "parse/RobotsRules.h"

#include "platform/AsciiText.h"

namespace
{

bool SameNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && AsciiText::StartsWithNoCase(a, b);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Paths in the queue have their escapes decoded already; the patterns are decoded to match.
std::string DecodeEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0)
        {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        }
        else
            out += text[i];
    }
    return out;
}

struct Line
{
    std::string_view field;
    std::string_view value;
};

bool SplitLine(std::string_view line, Line& out)
{
    const size_t hash = line.find('#');
    if (hash != std::string_view::npos)
        line = line.substr(0, hash);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    out.field = AsciiText::Trim(line.substr(0, colon));
    out.value = AsciiText::Trim(line.substr(colon + 1));
    return true;
}

} // namespace

std::string CRobotsRules::ProductToken(std::string_view agent)
{
    agent = AsciiText::Trim(agent);
    const size_t end = agent.find_first_of(" \t/");
    return std::string(agent.substr(0, end));
}

CRobotsRules::CRobotsRules(std::string_view text, std::string_view agent)
{
    const std::string token = ProductToken(agent);
    std::vector<Rule> forAgent;
    std::vector<Rule> forAll;
    bool bAgentFound = false;
    // The group being read: whether it names us or "*", and whether its rules have begun.
    bool bGroupAgent = false;
    bool bGroupAll = false;
    bool bInRules = false;

    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        Line line;
        if (SplitLine(text.substr(start, end - start), line))
        {
            if (SameNoCase(line.field, "user-agent"))
            {
                if (bInRules)
                {
                    bGroupAgent = bGroupAll = bInRules = false;
                }
                const std::string_view name = line.value.substr(0, line.value.find_first_of(" \t/"));
                if (name == "*")
                    bGroupAll = true;
                else if (!token.empty() && SameNoCase(name, token))
                    bGroupAgent = bAgentFound = true;
            }
            else if (SameNoCase(line.field, "allow") || SameNoCase(line.field, "disallow"))
            {
                bInRules = true;
                // An empty path names nothing.
                if (!line.value.empty())
                {
                    const Rule rule{DecodeEscapes(line.value), SameNoCase(line.field, "allow")};
                    if (bGroupAgent)
                        forAgent.push_back(rule);
                    if (bGroupAll)
                        forAll.push_back(rule);
                }
            }
        }
        if (end == text.size())
            break;
        start = end + 1;
    }
    m_rules = bAgentFound ? std::move(forAgent) : std::move(forAll);
}

CRobotsRules CRobotsRules::DisallowAll()
{
    CRobotsRules rules;
    rules.m_rules.push_back({"/", false});
    return rules;
}

bool CRobotsRules::Allowed(std::string_view path) const
{
    if (path == "/robots.txt")
        return true;
    bool bMatched = false;
    size_t nBest = 0;
    bool bAllowed = true;
    for (const Rule& rule : m_rules)
    {
        if (!Matches(rule.pattern, path))
            continue;
        const size_t length = rule.pattern.size();
        if (!bMatched || length > nBest)
            bAllowed = rule.bAllow;
        else if (length == nBest && rule.bAllow)
            bAllowed = true;
        if (!bMatched || length > nBest)
            nBest = length;
        bMatched = true;
    }
    return bAllowed;
}

// Whether `pattern` matches the start of `path`; '*' matches any run of bytes, a final '$'
// the end of the path. Backtracking only to the last '*', which is enough for a leftmost match.
bool CRobotsRules::Matches(std::string_view pattern, std::string_view path)
{
    const bool bAnchored = !pattern.empty() && pattern.back() == '$';
    if (bAnchored)
        pattern.remove_suffix(1);
    size_t p = 0;
    size_t s = 0;
    size_t starP = std::string_view::npos;
    size_t starS = 0;
    for (;;)
    {
        if (p == pattern.size())
        {
            if (!bAnchored || s == path.size())
                return true;
        }
        else if (pattern[p] == '*')
        {
            starP = p++;
            starS = s;
            continue;
        }
        else if (s < path.size() && pattern[p] == path[s])
        {
            ++p;
            ++s;
            continue;
        }
        if (starP == std::string_view::npos || starS >= path.size())
            return false;
        p = starP + 1;
        s = ++starS;
    }
}
