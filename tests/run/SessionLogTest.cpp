#include "run/SessionLog.h"

#include "support/TestApp.h"

#include <gtest/gtest.h>
#include <sstream>

namespace
{

TEST(SessionLog, HeaderStartsANewLogWithSixLines)
{
    CTestApp test;
    test.App().WriteErrorLog("left over from the last run", true);
    ASSERT_TRUE(SessionLog::WriteHeader(test.App(), "http://host/a/", test.Destination()));

    std::istringstream in(test.LogText());
    std::vector<std::string> messages;
    for (std::string line; std::getline(in, line);)
        messages.push_back(line.substr(22));
    const std::string rule(74, '=');
    const std::vector<std::string> expected = {
        rule, "New Session", "     Source: http://host/a/", "Destination: " + test.Destination(), rule, "",
    };
    EXPECT_EQ(messages, expected);
}

TEST(SessionLog, HeaderReportsALogThatCannotBeWritten)
{
    CTestApp test;
    CTestFrontEnd missing;
    missing.m_strDestination = test.Destination() + "missing/";
    test.App().SetFrontEnd(&missing);
    EXPECT_FALSE(SessionLog::WriteHeader(test.App(), "http://host/", missing.m_strDestination));
    EXPECT_EQ(test.Boxes().Texts(),
              std::vector<std::string>{"Error creating logfile, processing will stop."});
    test.App().SetFrontEnd(nullptr);
}

TEST(SessionLog, OutcomeLinePrefersFailureOverAUserStop)
{
    EXPECT_STREQ(SessionLog::OutcomeLine(false, true), "Site processing failed.");
    EXPECT_STREQ(SessionLog::OutcomeLine(true, true), "Processing stopped by user.");
    EXPECT_STREQ(SessionLog::OutcomeLine(true, false), "Site processing complete.");
}

} // namespace
