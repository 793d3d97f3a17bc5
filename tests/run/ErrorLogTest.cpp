#include "support/Planted.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <thread>

namespace
{

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ErrorLog, EachEntryIsOneStampedLine)
{
    CTestApp test;
    test.App().WriteErrorLog("first", true);
    test.App().WriteErrorLog("", false);
    test.App().WriteErrorLog("Link not found: /a/x.html", false);

    const std::string text = test.LogText();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 3u);
    const std::regex stamp(
        R"(^(0[1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])/\d{4} ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9] : )");
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_search(line, stamp)) << line;
    EXPECT_EQ(lines[0].substr(19), " : first");
    EXPECT_EQ(lines[1].substr(19), " : ") << "an empty message ends with the separator";
    EXPECT_EQ(lines[2].substr(19), " : Link not found: /a/x.html");
    EXPECT_EQ(test.App().GetLogPath(), test.Destination() + "error.log");
}

TEST(ErrorLog, ANewSessionTruncatesTheLogOfTheLastRun)
{
    CTestApp test;
    test.App().WriteErrorLog("old run", true);
    test.App().WriteErrorLog("old error", false);
    test.App().WriteErrorLog("new run", true);
    const auto lines = Lines(test.LogText());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("new run"), std::string::npos);
}

TEST(ErrorLog, LaterEntriesStayInTheFolderTheRunStartedIn)
{
    CTestApp test;
    CTempDir other;
    test.App().WriteErrorLog("header", true);
    CTestFrontEnd moved;
    moved.m_strDestination = other.Path();
    test.App().SetFrontEnd(&moved);
    test.App().WriteErrorLog("during the run", false);
    EXPECT_EQ(Lines(test.LogText()).size(), 2u);
    EXPECT_FALSE(FileSystem::Exists(other / "error.log"));
    test.App().WriteErrorLog("next run", true);
    EXPECT_TRUE(FileSystem::Exists(other / "error.log"));
    test.App().SetFrontEnd(nullptr);
}

TEST(ErrorLog, AnUnwritableFolderShowsTheCreationMessageForEveryEntry)
{
    CTestApp test;
    CTestFrontEnd missing;
    missing.m_strDestination = test.Destination() + "no/such/folder/";
    test.App().SetFrontEnd(&missing);

    test.App().WriteErrorLog("header", true);
    test.App().WriteErrorLog("error one", false);
    test.App().WriteErrorLog("error two", false);

    const auto shown = test.Boxes().Shown();
    ASSERT_EQ(shown.size(), 3u);
    for (const MessageRequest& box : shown)
    {
        EXPECT_EQ(box.text, "Error creating logfile, processing will stop.");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.caption, "harvestly-test");
    }
    test.App().SetFrontEnd(nullptr);
}

TEST(ErrorLog, ALinkOrFifoAtTheLogsNameIsNeitherFollowedNorWaitedFor)
{
    for (const Planted kind : kEveryPlanted)
    {
        SCOPED_TRACE(NameOf(kind));
        CTestApp test;
        CTempDir outside;
        Plant(kind, test.Destination() + "error.log", outside / "target");

        EXPECT_FALSE(test.App().WriteErrorLog("header", true));
        EXPECT_FALSE(test.App().WriteErrorLog("a later line", false));
        EXPECT_EQ(test.Boxes().Texts(),
                  std::vector<std::string>(2, "Error creating logfile, processing will stop."));
        EXPECT_TRUE(FileSystem::IsOtherThanPlainFile(test.Destination() + "error.log"));
        if (kind == Planted::LinkToFile)
        {
            EXPECT_EQ(ReadWholeFile(outside / "target"), "precious");
        }
        else
        {
            EXPECT_FALSE(FileSystem::Exists(outside / "target"));
        }
    }
}

TEST(ErrorLog, EntriesFromTwoThreadsNeverInterleaveInsideALine)
{
    CTestApp test;
    test.App().WriteErrorLog("start", true);
    const std::string longA(3000, 'a');
    const std::string longB(3000, 'b');
    std::thread worker(
        [&]
        {
            for (int i = 0; i < 200; ++i)
                test.App().WriteErrorLog(longA, false);
        });
    for (int i = 0; i < 200; ++i)
        test.App().WriteErrorLog(longB, false);
    worker.join();

    const auto lines = Lines(test.LogText());
    ASSERT_EQ(lines.size(), 401u);
    for (size_t i = 1; i < lines.size(); ++i)
    {
        const std::string message = lines[i].substr(22);
        EXPECT_TRUE(message == longA || message == longB) << "line " << i;
    }
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

} // namespace
