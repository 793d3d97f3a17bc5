// The fast parser against the plain version written straight from the rules, on many generated
// lines and pages.
#include "ParseTestSupport.h"
#include "RandomPage.h"
#include "ReferenceLinkParser.h"
#include "settings/SettingsTable.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

namespace
{

constexpr unsigned kSeed = 20240611;

std::string Printable(const std::string& text)
{
    std::string shown;
    for (unsigned char c : text)
    {
        if (c >= 0x20 && c < 0x7F)
            shown += static_cast<char>(c);
        else
        {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    return shown;
}

TEST(Differential, DecodersGiveTheRestartingLoopsResults)
{
    CRandomPage random(kSeed);
    for (int i = 0; i < 10000; ++i)
    {
        const std::string line = random.Line();
        std::string fast = line;
        std::string reference = line;
        LinkDecoding::DecodeEntities(fast);
        CReferenceLinkParser::DecodeEntities(reference);
        ASSERT_EQ(fast, reference) << "entities of " << Printable(line);
        LinkDecoding::DecodeEscapes(fast);
        CReferenceLinkParser::DecodeEscapes(reference);
        ASSERT_EQ(fast, reference) << "escapes of " << Printable(line);
    }
}

TEST(Differential, LineScanFindsTheSameValuesAndRests)
{
    CRandomPage random(kSeed + 1);
    size_t nValues = 0;
    for (int i = 0; i < 8000; ++i)
    {
        std::string line = random.Line(40);
        LinkDecoding::DecodeEntities(line);
        LinkDecoding::DecodeEscapes(line);

        std::vector<std::pair<std::string, std::string>> fast;
        CLineScan scan(line);
        for (std::string link; scan.Next(link);)
            fast.emplace_back(link, std::string(scan.Rest()));

        std::vector<std::pair<std::string, std::string>> reference;
        std::string text = line;
        for (std::string link, rest; CReferenceLinkParser::ScanLink(text, link, rest); text = rest)
            reference.emplace_back(link, rest);

        ASSERT_EQ(fast, reference) << Printable(line);
        nValues += fast.size();
    }
    EXPECT_GT(nValues, 5000u) << "the generator must reach the interesting paths";
}

TEST(Differential, AddressRewritingMatchesTheLiteralLoops)
{
    CRandomPage random(kSeed + 2);
    for (int i = 0; i < 50000; ++i)
    {
        const std::string address = (random.Below(2) ? "http://host/" : "") + random.Over("./a:", 30);
        std::string fast = address;
        std::string reference = address;
        AddressSteps::ResolveParentSteps(fast);
        CReferenceLinkParser::ResolveParentSteps(reference);
        ASSERT_EQ(fast, reference) << "parent steps of " << address;
        ASSERT_EQ(fast.find(".."), std::string::npos);
        AddressSteps::CollapseSlashes(fast);
        CReferenceLinkParser::CollapseSlashes(reference);
        ASSERT_EQ(fast, reference) << "slashes of " << address;
    }
}

TEST(Differential, FilterPatternsMatchAsTheRulesSay)
{
    CRandomPage random(kSeed + 3);
    size_t nMatches = 0;
    for (int i = 0; i < 50000; ++i)
    {
        const std::string address = random.Over("abAB./", 12);
        const std::string entry = random.Over("*?abAB./", 6);
        const bool fast = CLinkFilter::MatchPattern(address, entry);
        ASSERT_EQ(fast, CReferenceLinkParser::MatchPattern(address, entry)) << address << " with " << entry;
        nMatches += fast;
        const std::string pattern = random.Over("?ab", 4);
        ASSERT_EQ(CLinkFilter::FindWildcard(address, pattern),
                  CReferenceLinkParser::FindWildcard(address, pattern))
            << address << " for " << pattern;
    }
    EXPECT_GT(nMatches, 1000u);
}

struct RunSettings
{
    unsigned nUseFilters;
    unsigned nExclude;
    const char* filter;
    unsigned nDepth;
};

// Stable, readable test names: CTest lists each case by name.
std::string SettingsName(const ::testing::TestParamInfo<RunSettings>& info)
{
    const RunSettings& settings = info.param;
    if (settings.nUseFilters == 0)
        return "NoFilterDepth" + std::to_string(settings.nDepth);
    return std::string(settings.nExclude ? "Exclude" : "Include") + std::to_string(info.index) + "Depth" +
           std::to_string(settings.nDepth);
}

class DifferentialRun : public ::testing::TestWithParam<RunSettings>
{
};

// Whole runs: pages parsed one after another, the crawl loop taking addresses in between; the
// queue, its keep flags and its shown lines must follow the plain lists step by step.
TEST_P(DifferentialRun, QueuesTheSameAddressesInTheSameOrder)
{
    const RunSettings& settings = GetParam();
    CTestApp test;
    test.StoreDword(kValueUseFilters, settings.nUseFilters);
    test.StoreDword(kValueFilterExclude, settings.nExclude);
    test.StoreString(kValueFilter, settings.filter);
    test.StoreDword(kValueDepth, settings.nDepth);

    CRandomPage random(kSeed + 4 + settings.nDepth);
    const std::vector<std::string> pages = {"http://host:8080/a/index.html", "http://host:8080/a/b/p.html",
                                            "http://host:8080/a/b/", "http://host:8080/a/page.asp",
                                            "http://host:8080/a/x.shtml"};
    size_t nQueued = 0;
    for (int run = 0; run < 100; ++run)
    {
        CUrlQueue queue;
        CVisitedList visited;
        CLinkParser parser(&queue, &visited, test.Settings(), &test.App());
        CReferenceLinkParser::Settings referenceSettings{settings.nUseFilters > 0, settings.nExclude > 0,
                                                         parser.Filters(), settings.nDepth};
        CReferenceLinkParser reference(referenceSettings);
        parser.SetStartDir("http://host:8080/a/");
        reference.SetStartDir("http://host:8080/a/");
        parser.SetServerRoot("http://host:8080");
        reference.SetServerRoot("http://host:8080");

        for (int page = 0; page < 4; ++page)
        {
            const std::string url = pages[random.Below(pages.size())];
            visited.Add(url);
            reference.m_visited.push_back(url);
            parser.SetPage(url);
            reference.SetPage(url);
            const std::string text = random.Text(12, 30);
            WriteWholeFile(test.Destination() + "page.html", text);
            ASSERT_TRUE(parser.ParseFile(test.Destination() + "page.html"));
            reference.ParseText(text);

            for (size_t take = random.Below(4); take > 0 && !reference.QueueEmpty(); --take)
            {
                ASSERT_EQ(queue.HeadKeep(), reference.HeadKeep());
                const std::string address = queue.PopFront();
                ASSERT_EQ(address, reference.PopFront());
                visited.Add(address);
                reference.m_visited.push_back(address);
                ++nQueued;
            }
            ASSERT_EQ(queue.ShownLines().lines, reference.ListBox()) << "run " << run << " page " << page;
        }
        while (!reference.QueueEmpty())
        {
            ASSERT_EQ(queue.HeadKeep(), reference.HeadKeep());
            ASSERT_EQ(queue.PopFront(), reference.PopFront());
            ASSERT_EQ(queue.ShownLines().lines, reference.ListBox());
            ++nQueued;
        }
        ASSERT_EQ(queue.Count(), 0);
    }
    EXPECT_GT(nQueued, 50u) << "the generator must reach the queue";
}

INSTANTIATE_TEST_SUITE_P(Settings, DifferentialRun,
                         ::testing::Values(RunSettings{0, 0, "", 0},
                                           RunSettings{1, 0, "*.gif;*?.htm*;images*;", 2},
                                           RunSettings{1, 1, "*.html;*a/b*", 3}, RunSettings{1, 0, "", 1}),
                         SettingsName);

} // namespace
