#include "cli/CliOptions.h"

#include "cli/ProgressLine.h"
#include "settings/SettingsTable.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace
{

using Overrides = std::vector<std::pair<std::string, std::string>>;

TEST(CliOptions, TurnsOptionsIntoRunOnlySettings)
{
    const CliParseResult parsed = ParseCliOptions({"-c",
                                                   "--user",
                                                   "me",
                                                   "-p",
                                                   "se cret",
                                                   "--file-check=rename",
                                                   "--retries",
                                                   "0",
                                                   "--continue-on-error",
                                                   "--index",
                                                   "--depth",
                                                   "3",
                                                   "--filter",
                                                   "*.gif;*.png",
                                                   "--exclude",
                                                   "--connections",
                                                   "8",
                                                   "--compressed",
                                                   "--resume",
                                                   "-q",
                                                   "-y",
                                                   "http://host/a/",
                                                   "out"});
    ASSERT_TRUE(parsed.options) << parsed.strError;
    const CliOptions& options = *parsed.options;
    EXPECT_TRUE(options.bCrawl);
    EXPECT_TRUE(options.bQuiet);
    EXPECT_TRUE(options.bYes);
    EXPECT_EQ(options.strUserId, "me");
    EXPECT_EQ(options.strPassword, "se cret");
    EXPECT_EQ(options.strAddress, "http://host/a/");
    EXPECT_EQ(options.strDestination, "out");
    const Overrides expected = {
        {kValueFileCheck, "2"},        {kValueRetries, "0"},       {kValueContinueOnError, "1"},
        {kValueNoNameAsIndex, "1"},    {kValueDepth, "3"},         {kValueUseFilters, "1"},
        {kValueFilter, "*.gif;*.png"}, {kValueFilterExclude, "1"}, {kValueConnections, "8"},
        {kValueCompressed, "1"},       {kValueResume, "1"},
    };
    EXPECT_EQ(options.settingOverrides, expected);
}

TEST(CliOptions, AFilterListKeepsItsFilesUnlessExcludeIsGiven)
{
    // The store may hold exclude mode from the window: a list given here must not silently invert.
    CliParseResult parsed = ParseCliOptions({"--filter", "*.gif", "http://host/", "dest"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->settingOverrides,
              (Overrides{{kValueUseFilters, "1"}, {kValueFilter, "*.gif"}, {kValueFilterExclude, "0"}}));

    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--exclude", "--filter=*.gif", "http://host/", "dest"},
          std::vector<std::string>{"--filter=*.gif", "--exclude", "http://host/", "dest"}})
    {
        parsed = ParseCliOptions(arguments);
        ASSERT_TRUE(parsed.options);
        const Overrides& overrides = parsed.options->settingOverrides;
        EXPECT_EQ(
            std::count(overrides.begin(), overrides.end(), Overrides::value_type{kValueFilterExclude, "1"}),
            1);
        EXPECT_EQ(
            std::count(overrides.begin(), overrides.end(), Overrides::value_type{kValueFilterExclude, "0"}),
            0)
            << testing::PrintToString(arguments);
    }

    // --exclude alone turns the stored list into an exclude list; no list given, no mode forced.
    parsed = ParseCliOptions({"--exclude", "http://host/", "dest"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->settingOverrides, (Overrides{{kValueFilterExclude, "1"}}));
}

TEST(CliOptions, WithoutOptionsTheStoredSettingsApply)
{
    const CliParseResult parsed = ParseCliOptions({"http://host/", "dest"});
    ASSERT_TRUE(parsed.options);
    EXPECT_TRUE(parsed.options->settingOverrides.empty());
    EXPECT_FALSE(parsed.options->bCrawl);
}

TEST(CliOptions, RefusesBadUsageWithOneLine)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"http://host/"},
        {"http://host/", "dest", "extra"},
        {"--retries", "6", "http://host/", "dest"},
        {"--retries", "-1", "http://host/", "dest"},
        {"--retries", "2x", "http://host/", "dest"},
        {"--depth", "", "http://host/", "dest"},
        {"--depth", "99999999999", "http://host/", "dest"},
        {"--file-check", "always", "http://host/", "dest"},
        {"--bogus", "http://host/", "dest"},
        {"--yes=1", "http://host/", "dest"},
        {"http://host/", "dest", "--user"},
        {"--connections", "0", "http://host/", "dest"},
        {"--connections", "9", "http://host/", "dest"},
        {"--connections", "1.0", "http://host/", "dest"},
        {"--connections", "two", "http://host/", "dest"},
        {"--compressed=1", "http://host/", "dest"},
    };
    for (const auto& arguments : bad)
    {
        const CliParseResult parsed = ParseCliOptions(arguments);
        EXPECT_FALSE(parsed.options) << testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.strError.empty());
        EXPECT_EQ(parsed.strError.find('\n'), std::string::npos);
    }
    // "--" ends the options, so a destination may begin with a dash.
    const CliParseResult dashed = ParseCliOptions({"--", "http://host/", "-dest"});
    ASSERT_TRUE(dashed.options);
    EXPECT_EQ(dashed.options->strDestination, "-dest");
    EXPECT_TRUE(ParseCliOptions({"--help"}).options->bHelp);
    EXPECT_TRUE(ParseCliOptions({"-V"}).options->bVersion);
}

TEST(ProgressLine, ShowsPercentOnlyWhenTheLengthIsKnownAndCutsAtCharacters)
{
    CrawlProgress progress;
    progress.strCurrentUrl = "http://host/a/big.zip";
    progress.nBytesReceived = 3LL * 1024 * 1024 * 1024; // beyond 32 bits
    progress.nBytesExpected = 6LL * 1024 * 1024 * 1024;
    progress.dRate = 12345.0;
    progress.nProcessed = 7;
    progress.nPending = 3;
    EXPECT_EQ(FormatProgressLine(progress, 200),
              "[7 done, 3 pending] 12.35 KBps 3145728.0 of 6291456.0k (50.0%) http://host/a/big.zip");

    progress.nBytesExpected = 0;
    progress.nBytesReceived = 2048;
    EXPECT_EQ(FormatProgressLine(progress, 200), "[7 done, 3 pending] 12.35 KBps 2.0k http://host/a/big.zip");
    progress.nUnderWay = 4;
    EXPECT_EQ(FormatProgressLine(progress, 200),
              "[7 done, 3 pending, 4 under way] 12.35 KBps 2.0k http://host/a/big.zip");
    progress.nUnderWay = 1;
    EXPECT_EQ(FormatProgressLine(progress, 200), "[7 done, 3 pending] 12.35 KBps 2.0k http://host/a/big.zip");

    progress.strCurrentUrl = "http://host/文件";
    const std::string full = FormatProgressLine(progress, 200);
    const std::string cut = FormatProgressLine(progress, full.size() - 1);
    EXPECT_EQ(cut, full.substr(0, full.size() - 3)) << "the last character is three bytes and goes whole";
    EXPECT_EQ(FormatProgressLine(progress, 10).size(), 10u);
}

} // namespace
