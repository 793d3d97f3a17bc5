#include "ParseTestSupport.h"
#include "platform/LocalFile.h"
#include "support/ScopedNoDacOverride.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace
{

using Strings = std::vector<std::string>;

size_t LogLines(const CTestApp& test)
{
    const std::string text = test.LogText();
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

class ParseFile : public ::testing::Test
{
protected:
    ParseFile() : m_parser(&m_queue, &m_visited, m_test.Settings(), &m_test.App())
    {
        m_parser.SetStartDir("http://host/a/");
        m_parser.SetServerRoot("http://host");
        m_parser.SetPage("http://host/a/p.html");
    }

    std::string Page(const std::string& contents)
    {
        const std::string path = m_test.Destination() + "page.html";
        WriteWholeFile(path, contents);
        return path;
    }

    // Every queued address, checked against what the acceptance step promises.
    Strings DrainChecked()
    {
        Strings addresses = Addresses(Drain(m_queue));
        for (const std::string& address : addresses)
        {
            EXPECT_NE(address.find("http://host/a/"), std::string::npos) << address;
            EXPECT_EQ(address.find(".."), std::string::npos) << address;
        }
        return addresses;
    }

    CTestApp m_test;
    CUrlQueue m_queue;
    CVisitedList m_visited;
    CLinkParser m_parser;
};

TEST_F(ParseFile, ReadsEveryLineDroppingTheCarriageReturnBeforeEachLineFeed)
{
    const std::string path = Page("<a href='a.html'>\r\n"
                                  "\r\n"
                                  "<a href='b\n.html'>\n" // split across lines: never found whole
                                  "<a href=c.html\r\n"    // runs to the line's end: no delimiter
                                  "<a href=d.html\r>\n"   // a lone CR stays in the line
                                  "x &amp;&quot; <img src=%22e.gif%22>\n"
                                  "<a href=f.html>"); // the last line needs no line feed
    EXPECT_TRUE(m_parser.ParseFile(path));
    EXPECT_EQ(DrainChecked(),
              (Strings{"http://host/a/e.gif", "http://host/a/a.html", "http://host/a/f.html"}));
    EXPECT_EQ(m_test.LogText(), "");
}

TEST_F(ParseFile, APageGivenAsTextIsReadExactlyAsItsFile)
{
    std::string longLine(200 * 1024, 'x');
    longLine += "<a href=long.html>";
    const char zeroBytes[] = "<a href='z.html'>\0\0<img src='y.gif'>\0\n";
    const std::string zeros(zeroBytes, sizeof zeroBytes - 1);
    for (const std::string& contents :
         {std::string("<a href='a.html'>\r\n\r\n<a href='b\n.html'>\n<a href=c.html\r\n<a href=d.html\r>\n"
                      "x &amp;&quot; <img src=%22e.gif%22>\n<a href=f.html>"),
          std::string(""), std::string("\n\n"), std::string("<a href=g.html>\n"), zeros,
          std::string("<a href=h.html\r"), longLine + "\n" + longLine})
    {
        EXPECT_TRUE(m_parser.ParseFile(Page(contents)));
        const Strings fromFile = DrainChecked();
        m_visited.Clear();
        m_parser.ParseText(contents);
        EXPECT_EQ(DrainChecked(), fromFile) << contents.substr(0, 80);
        m_visited.Clear();
    }
    EXPECT_EQ(m_test.LogText(), "");
}

TEST_F(ParseFile, APageWithoutKeywordsYieldsNothingAndLogsNothing)
{
    EXPECT_TRUE(m_parser.ParseFile(Page("<html><body><p>Nothing to follow.</p></body></html>\n")));
    EXPECT_TRUE(m_parser.ParseFile(Page("")));
    EXPECT_EQ(m_queue.Count(), 0);
    EXPECT_EQ(m_test.LogText(), "");
    EXPECT_EQ(m_parser.LastError(), "");
}

TEST_F(ParseFile, APageThatCannotBeOpenedLogsExactlyOneLine)
{
    const std::string missing = m_test.Destination() + "missing.html";
    EXPECT_FALSE(m_parser.ParseFile(missing));
    EXPECT_EQ(m_parser.LastError(), "Unable to open file [" + missing + "]");
    ASSERT_EQ(LogLines(m_test), 1u);
    EXPECT_NE(m_test.LogText().find(" : Unable to open file [" + missing + "]\n"), std::string::npos);
    EXPECT_EQ(m_queue.Count(), 0);
    EXPECT_EQ(m_test.Boxes().Count(), 0u) << "a page that cannot be read is not the user's business";

    EXPECT_TRUE(m_parser.ParseFile(Page("<a href=a.html>")));
    EXPECT_EQ(LogLines(m_test), 1u);
}

TEST_F(ParseFile, APageHeldByAWriterOrWithoutReadPermissionCannotBeOpened)
{
    const std::string path = Page("<a href=a.html>");
    {
        CLocalFile writer;
        ASSERT_TRUE(writer.Open(path, CLocalFile::Mode::AppendExisting));
        EXPECT_FALSE(m_parser.ParseFile(path));
    }
    CScopedNoDacOverride noOverride;
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    EXPECT_FALSE(m_parser.ParseFile(path));
    EXPECT_EQ(LogLines(m_test), 2u);
    EXPECT_EQ(m_queue.Count(), 0);
}

TEST_F(ParseFile, AFolderOpensButCannotBeReadAndSaysSo)
{
    EXPECT_FALSE(m_parser.ParseFile(m_test.Destination()));
    EXPECT_EQ(m_parser.LastError().rfind("Unable to read file [" + m_test.Destination() + "]", 0), 0u)
        << m_parser.LastError();
    EXPECT_EQ(LogLines(m_test), 1u);
}

TEST_F(ParseFile, BinaryContentZeroBytesAndInvalidUtf8AreOnlyBytes)
{
    std::string binary;
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i)
        binary += static_cast<char>(random() & 0xFF);
    binary += "\n<a href='../a/x.html'>\n";
    EXPECT_TRUE(m_parser.ParseFile(Page(binary)));
    const Strings fromBinary = DrainChecked();
    EXPECT_FALSE(fromBinary.empty());
    EXPECT_EQ(fromBinary.back(), "http://host/a/x.html");

    const char zeros[] = "<a href='a.html'>\0\0<img src='b.gif'>\0\n";
    EXPECT_TRUE(m_parser.ParseFile(Page(std::string(zeros, sizeof zeros - 1))));
    EXPECT_EQ(DrainChecked(), (Strings{"http://host/a/b.gif", "http://host/a/a.html"}));

    EXPECT_TRUE(m_parser.ParseFile(Page("\xff\xfe\xc3<a href='\xe9t\xe9.html'><img src='\xc3(.gif'>")));
    EXPECT_EQ(DrainChecked(), (Strings{"http://host/a/\xc3(.gif", "http://host/a/\xe9t\xe9.html"}));
}

TEST_F(ParseFile, ATwentyMegabyteLineIsReadWhole)
{
    std::string line = "<a href='first.html'>";
    line.reserve(21 * 1024 * 1024);
    while (line.size() < 20 * 1024 * 1024)
        line += "<p class=\"filler\">text &amp; more text %41 in one line</p>";
    line += "<img src='last.gif'> <a href='never";
    EXPECT_TRUE(m_parser.ParseFile(Page(line + "\n<a href=next.html>\n")));
    EXPECT_EQ(DrainChecked(),
              (Strings{"http://host/a/last.gif", "http://host/a/first.html", "http://host/a/next.html"}));
}

} // namespace
