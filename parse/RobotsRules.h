#pragma once

#include <string>
#include <string_view>
#include <vector>

// The rules of one server's robots.txt for one crawler: the groups whose User-agent names the
// crawler's product token (compared without regard to case), or else the groups for "*". Among
// the Allow and Disallow paths that match an object path ('*' standing for any text, a final
// '$' for its end), the longest decides, and Allow wins a tie. No rules allow everything.
class CRobotsRules
{
public:
    CRobotsRules() = default;
    // `agent` is the User-Agent the crawler sends; its first word is the product token.
    CRobotsRules(std::string_view text, std::string_view agent);

    // The rules of a robots.txt the server failed to serve: nothing may be fetched.
    static CRobotsRules DisallowAll();

    // `path` is an object path starting with '/'.
    bool Allowed(std::string_view path) const;
    bool Empty() const { return m_rules.empty(); }

    static std::string ProductToken(std::string_view agent);

private:
    struct Rule
    {
        std::string pattern;
        bool bAllow = false;
    };
    static bool Matches(std::string_view pattern, std::string_view path);

    std::vector<Rule> m_rules;
};
