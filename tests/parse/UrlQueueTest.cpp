#include "ParseTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace
{

using Strings = std::vector<std::string>;

std::string Page(int n)
{
    return "http://host/a/p" + std::to_string(n) + ".html";
}

Strings Pages(int from, int to)
{
    Strings pages;
    for (int n = from; n <= to; ++n)
        pages.push_back(Page(n));
    return pages;
}

TEST(UrlQueue, PagesAtTheBackFilesAtTheFrontEachWithItsKeepFlag)
{
    CUrlQueue queue;
    queue.PushBack("b", false);
    queue.PushBack("c", true);
    queue.PushFront("a", true);
    queue.PushFront("z", false);
    EXPECT_EQ(queue.Count(), 4);
    EXPECT_EQ(queue.Head(), "z");
    EXPECT_FALSE(queue.HeadKeep());
    const std::vector<QueuedAddress> expected = {{"z", false}, {"a", true}, {"b", false}, {"c", true}};
    EXPECT_EQ(Drain(queue), expected);
    EXPECT_EQ(queue.Count(), 0);
}

TEST(UrlQueue, AnEmptyQueueAnswersEmptyAndSurvivesAPop)
{
    CUrlQueue queue;
    EXPECT_EQ(queue.Head(), "");
    EXPECT_FALSE(queue.HeadKeep());
    EXPECT_EQ(queue.PopFront(), "");
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(queue.ShownLines().lines.empty());
}

TEST(UrlQueue, FindIsExactAndCountsEveryCopy)
{
    CUrlQueue queue;
    queue.PushBack("http://host/a/x.html", true);
    EXPECT_TRUE(queue.Find("http://host/a/x.html"));
    EXPECT_FALSE(queue.Find("http://host/a/X.html"));
    EXPECT_FALSE(queue.Find("http://host/a/x.html "));
    EXPECT_FALSE(queue.Find("http://host/a/x"));

    queue.PushFront("http://host/a/x.html", false); // the crawl loop may queue an address twice
    queue.PopFront();
    EXPECT_TRUE(queue.Find("http://host/a/x.html")) << "the second copy still waits";
    queue.PopFront();
    EXPECT_FALSE(queue.Find("http://host/a/x.html"));

    queue.PushBack("a", true);
    queue.PushBack("b", true);
    queue.Reset();
    EXPECT_FALSE(queue.Find("a"));
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.Head(), "");
}

TEST(UrlQueueShownLines, TheFirstElevenWaitingAddressesAreShown)
{
    CUrlQueue queue;
    for (const std::string& page : Pages(1, 12))
        queue.PushBack(page, true);
    EXPECT_EQ(queue.ShownLines().lines, Pages(1, 11));

    EXPECT_EQ(queue.PopFront(), Page(1));
    EXPECT_EQ(queue.ShownLines().lines, Pages(2, 12)) << "topped up to the 11 remaining addresses";
    EXPECT_EQ(queue.PopFront(), Page(2));
    EXPECT_EQ(queue.ShownLines().lines, Pages(3, 12));
}

TEST(UrlQueueShownLines, AFileAtTheFrontIsAlwaysShownOnTop)
{
    CUrlQueue queue;
    for (const std::string& page : Pages(1, 13))
        queue.PushBack(page, true);
    queue.PushFront("x.gif", true);
    queue.PushFront("y.gif", true);

    Strings expected = {"y.gif", "x.gif"};
    const Strings first = Pages(1, 11);
    expected.insert(expected.end(), first.begin(), first.end());
    EXPECT_EQ(queue.ShownLines().lines, expected) << "13 lines: front insertions are not capped";

    queue.PushBack(Page(14), true);
    EXPECT_EQ(queue.ShownLines().lines.size(), 13u) << "nothing is added at the back while 11 or more show";

    queue.PopFront();
    queue.PopFront();
    EXPECT_EQ(queue.ShownLines().lines, Pages(1, 11)) << "no top-up while more than 10 lines remain";
    queue.PopFront();
    EXPECT_EQ(queue.ShownLines().lines, Pages(2, 12));
}

TEST(UrlQueueShownLines, ResetEmptiesThemAndEveryChangeMovesTheSerial)
{
    CUrlQueue queue;
    const auto start = queue.ShownSerial();
    queue.PushBack("a", true);
    const auto afterPush = queue.ShownLines();
    EXPECT_GT(afterPush.serial, start);
    EXPECT_EQ(afterPush.serial, queue.ShownSerial());

    for (const std::string& page : Pages(1, 10))
        queue.PushBack(page, true);
    const auto full = queue.ShownSerial();
    queue.PushBack("hidden", true);
    EXPECT_EQ(queue.ShownSerial(), full) << "an address not shown changes nothing a view sees";

    queue.Reset();
    EXPECT_GT(queue.ShownSerial(), full);
    EXPECT_TRUE(queue.ShownLines().lines.empty());
    queue.PushBack("b", true);
    EXPECT_EQ(queue.ShownLines().lines, Strings{"b"});
}

// The window's timer polls the count and the shown lines while the worker changes the queue; the
// worker must never wait for it, and a view must never see lines torn or out of the queue's order.
TEST(UrlQueueShownLines, AViewPollingFromAnotherThreadSeesConsistentCopies)
{
    CUrlQueue queue;
    std::atomic<bool> bDone{false};
    std::atomic<long> nBadViews{0};
    std::thread view(
        [&]
        {
            while (!bDone.load())
            {
                const long count = queue.Count();
                const CUrlQueue::Shown shown = queue.ShownLines();
                if (count < 0 || count > 2000)
                    ++nBadViews;
                // Pages are pushed in increasing order, so shown pages must increase too.
                for (size_t i = 1; i < shown.lines.size(); ++i)
                {
                    if (shown.lines[i - 1] >= shown.lines[i])
                        ++nBadViews;
                }
            }
        });
    for (int round = 0; round < 20; ++round)
    {
        for (int n = 1000; n < 2000; ++n)
            queue.PushBack(std::to_string(n), true);
        while (queue.Count() > 0)
            queue.PopFront();
    }
    bDone = true;
    view.join();
    EXPECT_EQ(nBadViews.load(), 0);
    EXPECT_TRUE(queue.ShownLines().lines.empty());
}

TEST(VisitedList, KeepsOrderAndFindsExactly)
{
    CVisitedList visited;
    visited.Add("http://host/a/");
    visited.Add("http://host/a/b.html");
    visited.Add("http://host/a/");
    EXPECT_EQ(visited.Count(), 3);
    EXPECT_EQ(visited.At(0), "http://host/a/");
    EXPECT_EQ(visited.At(1), "http://host/a/b.html");
    EXPECT_EQ(visited.At(2), "http://host/a/");
    EXPECT_TRUE(visited.Contains("http://host/a/b.html"));
    EXPECT_FALSE(visited.Contains("http://host/a/B.html"));
    EXPECT_FALSE(visited.Contains("http://host/a"));

    visited.Clear();
    EXPECT_EQ(visited.Count(), 0);
    EXPECT_FALSE(visited.Contains("http://host/a/"));
    visited.Add("x");
    EXPECT_TRUE(visited.Contains("x"));
    EXPECT_EQ(visited.At(0), "x");
}

TEST(VisitedList, ShortAndLongAddressesStayFindableAsTheListGrows)
{
    // Short strings live inside the string object: the index must survive the list growing.
    CVisitedList visited;
    for (int n = 0; n < 5000; ++n)
        visited.Add(n % 2 ? std::to_string(n)
                          : "http://host/a/long/enough/to/leave/the/object/" + std::to_string(n));
    for (int n = 0; n < 5000; ++n)
    {
        const std::string address =
            n % 2 ? std::to_string(n) : "http://host/a/long/enough/to/leave/the/object/" + std::to_string(n);
        ASSERT_TRUE(visited.Contains(address)) << address;
    }
    EXPECT_FALSE(visited.Contains("5000"));
}

} // namespace
