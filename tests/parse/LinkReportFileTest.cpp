#include "parse/LinkReportFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace
{

TEST(LinkReportFile, WritesOneCsvLinePerValueQuotingWhatNeedsIt)
{
    CTempDir dir;
    const std::string path = dir / "why.csv";
    {
        CLinkReportFile report;
        ASSERT_TRUE(report.Open(path));
        report.Report("http://h/a/", "b.html", "http://h/a/b.html", LinkFate::QueuedAsPage);
        report.Report("http://h/a/", "x,\"y\"", "", LinkFate::NotALink);
        report.Report("http://h/a/", "line\nbreak", "http://h/a/line", LinkFate::TooDeep);
        EXPECT_TRUE(report.Close());
    }
    EXPECT_EQ(ReadWholeFile(path), "page,value,address,fate\r\n"
                                   "http://h/a/,b.html,http://h/a/b.html,queued as page\r\n"
                                   "http://h/a/,\"x,\"\"y\"\"\",,not a link\r\n"
                                   "http://h/a/,\"line\nbreak\",http://h/a/line,too deep\r\n");
}

TEST(LinkReportFile, RefusesAFolderThatCannotBeWritten)
{
    CLinkReportFile report;
    EXPECT_FALSE(report.Open("/nonexistent-folder/why.csv"));
    EXPECT_FALSE(report.LastError().text.empty());
}

TEST(LinkReportFile, EveryFateHasItsWords)
{
    EXPECT_STREQ(LinkFateText(LinkFate::LeftOutByFilterReadForLinks),
                 "left out by the filter but read for links");
    EXPECT_STREQ(LinkFateText(LinkFate::DisallowedByRobots), "disallowed by robots.txt");
    EXPECT_STREQ(LinkFateText(LinkFate::AnotherServer), "another server");
}

} // namespace
