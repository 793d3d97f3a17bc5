// The manual page and --help must name the same options. The comparison is complete in both
// directions: whoever adds an option to harvestly-cli adds it to docs/man/harvestly-cli.1 as
// well, and whoever documents one there makes --help show it.
#include "CliProcess.h"
#include "support/TempDir.h"

#include <cctype>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace
{

using OptionSet = std::set<std::string>;

// Words that begin with '-' followed by a letter: "-u", "--user", not "-", "--" or "a-b".
void AddOptionWords(const std::string& text, OptionSet& options)
{
    std::string word;
    std::istringstream words(text);
    while (words >> word)
    {
        const size_t end = word.find_first_of(",\"");
        word = word.substr(0, end);
        const size_t dashes = word.rfind("--", 0) == 0 ? 2 : 1;
        if (word.size() > dashes && word[0] == '-' && std::isalpha(static_cast<unsigned char>(word[dashes])))
            options.insert(word);
    }
}

// An option line of --help has its first '-' within the first eight columns (a description that
// goes on to the next line is indented further); the option column ends at the first run of two
// spaces after it.
OptionSet HelpOptions(const std::string& help)
{
    OptionSet options;
    std::istringstream lines(help);
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t start = line.find_first_not_of(' ');
        if (start == 0 || start > 8 || start == std::string::npos || line[start] != '-')
            continue;
        AddOptionWords(line.substr(start, line.find("  ", start) - start), options);
    }
    return options;
}

// Removes the roff escapes an option tag uses: "\-" for a dash, "\fB" and friends for fonts.
std::string PlainRoff(const std::string& line)
{
    std::string plain;
    for (size_t i = 0; i < line.size(); ++i)
    {
        if (line[i] != '\\' || i + 1 >= line.size())
            plain += line[i];
        else if (line[i + 1] == '-')
            plain += line[++i];
        else if (line[i + 1] == 'f' && i + 2 < line.size())
            i += 2;
        else
            plain += line[++i];
    }
    return plain;
}

// The tag line after each .TP of the OPTIONS section.
OptionSet ManualOptions(const std::string& manual)
{
    OptionSet options;
    std::istringstream lines(manual);
    std::string line;
    bool bInOptions = false;
    bool bTagNext = false;
    while (std::getline(lines, line))
    {
        if (line.rfind(".SH", 0) == 0)
            bInOptions = line == ".SH OPTIONS";
        else if (bInOptions && line == ".TP")
            bTagNext = true;
        else if (bTagNext)
        {
            AddOptionWords(PlainRoff(line), options);
            bTagNext = false;
        }
    }
    return options;
}

std::string Listed(const OptionSet& options, const OptionSet& without)
{
    std::string text;
    for (const std::string& option : options)
    {
        if (!without.count(option))
            text += " " + option;
    }
    return text;
}

TEST(CliManual, NamesExactlyTheOptionsOfHelp)
{
    CTempDir config;
    std::string help;
    ASSERT_EQ(RunCli({"--help"}, config.Path(), &help), 0);
    const OptionSet fromHelp = HelpOptions(help);
    const OptionSet fromManual = ManualOptions(ReadWholeFile(HARVESTLY_CLI_MANUAL));

    // Both readers must see the options everyone has, or an empty list on both sides would pass.
    for (const char* option : {"-h", "--help", "-u", "--user", "--depth"})
    {
        EXPECT_TRUE(fromHelp.count(option)) << option << " not found in --help";
        EXPECT_TRUE(fromManual.count(option)) << option << " not found in the manual";
    }
    EXPECT_EQ(fromHelp, fromManual) << "only in --help:" << Listed(fromHelp, fromManual)
                                    << "\nonly in the manual:" << Listed(fromManual, fromHelp);
}

TEST(CliManual, ReadersFindOptionsAndOnlyOptions)
{
    EXPECT_EQ(HelpOptions("Usage: harvestly-cli [OPTION]...\n"
                          "  -u, --user ID             user id, see -x\n"
                          "      --depth N             levels\n"
                          "                            -continued text\n"
                          "Exit status: 0 complete\n"),
              (OptionSet{"-u", "--user", "--depth"}));
    EXPECT_EQ(ManualOptions(".SH SYNOPSIS\n.TP\n\\fB\\-\\-nope\\fR\n"
                            ".SH OPTIONS\n.TP\n.BR \\-u \", \" \\-\\-user \" \\fIID\\fR\"\nUser \\-x id.\n"
                            ".TP\n.BI \\-\\-depth \" N\"\n.SH FILES\n.TP\n.B \\-\\-nor\\-this\n"),
              (OptionSet{"-u", "--user", "--depth"}));
}

} // namespace
