#include "cli/CliOptions.h"

#include "platform/AsciiText.h"
#include "settings/SettingsTable.h"

#include <algorithm>
#include <functional>
#include <map>

namespace
{

std::optional<unsigned long> ParseNumber(const std::string& text, unsigned long maximum)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    unsigned long value = 0;
    for (char c : text)
    {
        if (!AsciiText::IsDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > maximum)
        return std::nullopt;
    return value;
}

std::optional<std::string> FileCheckIndex(const std::string& mode)
{
    static const std::map<std::string, std::string> kModes = {
        {"skip", "0"}, {"replace", "1"}, {"rename", "2"}};
    const auto found = kModes.find(mode);
    if (found == kModes.end())
        return std::nullopt;
    return found->second;
}

class CParser
{
public:
    explicit CParser(const std::vector<std::string>& arguments) : m_arguments(arguments) {}

    CliParseResult Parse()
    {
        std::vector<std::string> positional;
        for (m_index = 0; m_index < m_arguments.size() && m_error.empty(); ++m_index)
        {
            const std::string& argument = m_arguments[m_index];
            if (argument == "--")
            {
                positional.insert(positional.end(), m_arguments.begin() + static_cast<long>(m_index) + 1,
                                  m_arguments.end());
                break;
            }
            if (argument.size() > 1 && argument[0] == '-')
                ParseOption(argument);
            else
                positional.push_back(argument);
        }
        if (m_error.empty() && m_options.bAskPassword && m_options.bPasswordGiven)
            m_error = "--ask-password and --password cannot be used together";
        if (!m_error.empty())
            return {std::nullopt, m_error};
        // A list given here names the files to keep unless --exclude says otherwise, whatever
        // mode the store was left in.
        if (m_bFilter && !m_bExclude)
            m_options.settingOverrides.emplace_back(kValueFilterExclude, "0");
        if (m_options.bHelp || m_options.bVersion)
            return {m_options, {}};
        if (positional.size() != 2)
            return {std::nullopt, "expected an ADDRESS and a DESTINATION (try --help)"};
        m_options.strAddress = positional[0];
        m_options.strDestination = positional[1];
        return {m_options, {}};
    }

private:
    // --name=value, --name value, -x value
    std::optional<std::string> Value(const std::string& name, const std::string& inlineValue, bool bHasInline)
    {
        if (bHasInline)
            return inlineValue;
        if (m_index + 1 >= m_arguments.size())
        {
            m_error = name + " needs a value";
            return std::nullopt;
        }
        return m_arguments[++m_index];
    }

    void ParseOption(const std::string& argument)
    {
        std::string name = argument;
        std::string inlineValue;
        const size_t equals = argument.find('=');
        const bool bHasInline = argument.rfind("--", 0) == 0 && equals != std::string::npos;
        if (bHasInline)
        {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }

        const auto flag = [&](bool& target)
        {
            if (bHasInline)
                m_error = name + " takes no value";
            target = true;
        };
        const auto setting = [&](const char* valueName, const std::string& value)
        { m_options.settingOverrides.emplace_back(valueName, value); };

        if (name == "-h" || name == "--help")
            flag(m_options.bHelp);
        else if (name == "-V" || name == "--version")
            flag(m_options.bVersion);
        else if (name == "-y" || name == "--yes")
            flag(m_options.bYes);
        else if (name == "-q" || name == "--quiet")
            flag(m_options.bQuiet);
        else if (name == "-c" || name == "--crawl")
            flag(m_options.bCrawl);
        else if (name == "-u" || name == "--user")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
                m_options.strUserId = *value;
        }
        else if (name == "-p" || name == "--password")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                m_options.strPassword = *value;
                m_options.bPasswordGiven = true;
            }
        }
        else if (name == "--ask-password")
            flag(m_options.bAskPassword);
        else if (name == "--file-check")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                if (auto index = FileCheckIndex(*value))
                    setting(kValueFileCheck, *index);
                else
                    m_error = "--file-check takes skip, replace or rename";
            }
        }
        else if (name == "--retries")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                if (auto number = ParseNumber(*value, 5))
                    setting(kValueRetries, std::to_string(*number));
                else
                    m_error = "--retries takes a number from 0 to 5";
            }
        }
        else if (name == "--depth")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                if (auto number = ParseNumber(*value, 0xFFFFFFFFul))
                    setting(kValueDepth, std::to_string(*number));
                else
                    m_error = "--depth takes a number (0: no limit)";
            }
        }
        else if (name == "--filter")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                m_bFilter = true;
                setting(kValueUseFilters, "1");
                setting(kValueFilter, *value);
            }
        }
        else if (name == "--exclude")
        {
            flag(m_bExclude);
            setting(kValueFilterExclude, "1");
        }
        else if (name == "--continue-on-error")
        {
            bool bContinue = false;
            flag(bContinue);
            setting(kValueContinueOnError, "1");
        }
        else if (name == "--index")
        {
            bool bIndex = false;
            flag(bIndex);
            setting(kValueNoNameAsIndex, "1");
        }
        else if (!ParseReachOption(name, inlineValue, bHasInline))
        {
            m_error = "unknown option " + name + " (try --help)";
        }
    }

    // The options that reach today's sites; false when `name` is none of them.
    bool ParseReachOption(const std::string& name, const std::string& inlineValue, bool bHasInline)
    {
        const auto flag = [&](const char* valueName)
        {
            if (bHasInline)
                m_error = name + " takes no value";
            if (valueName != nullptr)
                m_options.settingOverrides.emplace_back(valueName, "1");
        };
        if (name == "--https")
            flag(kValueAllowHttps);
        else if (name == "--html-charset")
            flag(kValueHtmlWithParameters);
        else if (name == "--css")
            flag(kValueFollowCss);
        else if (name == "--robots")
            flag(kValueRobots);
        else if (name == "--convert-links")
            flag(kValueConvertLinks);
        else if (name == "--resume")
            flag(kValueResume);
        else if (name == "--no-check-certificate")
        {
            flag(nullptr);
            m_options.bNoCheckCertificate = true;
        }
        else if (name == "--wait")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                if (auto ms = ParseScaled(*value, 1000, false))
                    m_options.settingOverrides.emplace_back(kValueWaitMs, std::to_string(*ms));
                else
                    m_error = "--wait takes seconds, for example 1 or 0.5 (got \"" + *value + "\")";
            }
        }
        else if (name == "--limit-rate")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                if (auto rate = ParseScaled(*value, 1, true))
                    m_options.settingOverrides.emplace_back(kValueLimitRate, std::to_string(*rate));
                else
                    m_error = "--limit-rate takes bytes per second with an optional k or m, for example 200k "
                              "(got \"" +
                              *value + "\")";
            }
        }
        else if (name == "--compressed")
            flag(kValueCompressed);
        else if (name == "--connections")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                const std::optional<std::uint32_t> count = ParseScaled(*value, 1, false);
                if (count && *count >= 1 && *count <= kMaxConnections &&
                    value->find('.') == std::string::npos)
                    m_options.settingOverrides.emplace_back(kValueConnections, std::to_string(*count));
                else
                    m_error = "--connections takes a whole number from 1 to 8 (got \"" + *value + "\")";
            }
        }
        else if (name == "--why")
        {
            if (auto value = Value(name, inlineValue, bHasInline))
            {
                if (value->empty())
                    m_error = "--why needs a file name";
                m_options.strWhyFile = *value;
            }
        }
        else
            return false;
        return true;
    }

    const std::vector<std::string>& m_arguments;
    size_t m_index = 0;
    CliOptions m_options;
    std::string m_error;
    bool m_bFilter = false;
    bool m_bExclude = false;
};

} // namespace

CliParseResult ParseCliOptions(const std::vector<std::string>& arguments)
{
    return CParser(arguments).Parse();
}

std::optional<std::uint32_t> ParseScaled(const std::string& text, std::uint64_t nUnit, bool bSuffix)
{
    std::string_view digits(text);
    if (bSuffix && !digits.empty())
    {
        const char last = AsciiText::ToLower(digits.back());
        if (last == 'k' || last == 'm')
        {
            nUnit *= last == 'k' ? 1024 : 1024 * 1024;
            digits.remove_suffix(1);
        }
    }
    const size_t point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : digits.substr(point + 1);
    const auto allDigits = [](std::string_view part)
    { return std::all_of(part.begin(), part.end(), [](char c) { return AsciiText::IsDigit(c); }); };
    if ((whole.empty() && fraction.empty()) || whole.size() > 10 || fraction.size() > 3 ||
        !allDigits(whole) || !allDigits(fraction) || (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    std::uint64_t nThousandths = 0;
    for (const char c : whole)
        nThousandths = nThousandths * 10 + static_cast<std::uint64_t>(c - '0');
    for (size_t i = 0; i < 3; ++i)
        nThousandths =
            nThousandths * 10 + (i < fraction.size() ? static_cast<std::uint64_t>(fraction[i] - '0') : 0);
    const std::uint64_t nResult = nThousandths * nUnit / 1000;
    if (nResult > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(nResult);
}

const char* CliUsageText()
{
    return "Usage: harvestly-cli [OPTION]... ADDRESS DESTINATION\n"
           "Mirror the folder of the http:// (or, with --https, https://) page ADDRESS into the\n"
           "folder DESTINATION.\n"
           "\n"
           "  -u, --user ID             user id for HTTP authentication\n"
           "  -p, --password PASSWORD   password for HTTP authentication (seen in the process\n"
           "                            list; without -p, HARVESTLY_PASSWORD is read)\n"
           "      --ask-password        ask for the password on the terminal, without echo\n"
           "  -c, --crawl               look for links in every fetched page, not only the first\n"
           "      --file-check MODE     existing files: skip, replace (newer on the server),\n"
           "                            rename (keep the old copy under a dated name)\n"
           "      --retries N           further attempts after a failed fetch, 0 to 5\n"
           "      --continue-on-error   go on with the next address after a failure\n"
           "      --index               keep folder addresses as index.html\n"
           "      --depth N             folder levels below the start folder (0: no limit)\n"
           "      --filter LIST         ';'-separated patterns of files to keep (turns filtering on)\n"
           "      --exclude             the filter list names what is left out instead\n"
           "      --https               accept https:// addresses; certificates are checked\n"
           "      --no-check-certificate  do not check certificates and host names (this run only)\n"
           "      --html-charset        read pages sent as text/html with a charset, or as XHTML\n"
           "      --css                 follow url() and @import of stylesheets and style attributes\n"
           "      --robots              honour the start server's robots.txt\n"
           "      --wait SECONDS        pause between two requests (decimals allowed)\n"
           "      --limit-rate RATE     body bytes per second, with an optional k or m\n"
           "      --convert-links       when the run ends, rewrite the links of the pages it read\n"
           "                            so the mirror browses offline\n"
           "      --connections N       transfers at once, 1 to 8; the mirror is the same as with 1\n"
           "      --compressed          ask for compressed bodies; files are stored decoded\n"
           "      --resume              keep a cut file's part and ask the server for the rest\n"
           "      --why FILE            write a CSV line per link found: page, value, address, fate\n"
           "  -y, --yes                 create DESTINATION without asking\n"
           "  -q, --quiet               no progress display\n"
           "  -h, --help                show this text\n"
           "  -V, --version             show the version\n"
           "\n"
           "Options replace the stored settings for this run only. Ctrl-C stops after the current\n"
           "file; a second Ctrl-C ends the current file at once.\n"
           "Exit status: 0 complete, 1 failed, 2 bad usage or input, 130 stopped.\n";
}
