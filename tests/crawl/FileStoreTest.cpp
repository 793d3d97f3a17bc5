#include "crawl/FileStore.h"

#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <set>

namespace
{

// How a store's life ends.
enum class Ending
{
    Placed,
    PlacedKeepingOld,
    KeptPrivate,
    Discarded,
    Dropped, // destroyed unfinished, as a cut transfer's store is
};

TEST(FileStore, OnlyAFinishedBodyReachesItsNameAndNoPartialOutlivesTheStore)
{
    const std::int64_t tOld = 1500000000;
    const std::int64_t tNew = 1600000000;
    const std::string stamped = "sub/p" + TimeFormat::Local(" %Y%m%d%H%M%S", tOld) + ".html";
    struct Case
    {
        Ending ending;
        bool bOldCopy;
        std::set<std::string> files;
        const char* content; // of sub/p.html
    };
    const Case cases[] = {
        {Ending::Placed, false, {"sub/p.html"}, "new body"},
        {Ending::Placed, true, {"sub/p.html"}, "new body"},
        {Ending::PlacedKeepingOld, true, {"sub/p.html", stamped}, "new body"},
        {Ending::PlacedKeepingOld, false, {"sub/p.html"}, "new body"},
        {Ending::Discarded, true, {"sub/p.html"}, "old copy"},
        {Ending::Dropped, true, {"sub/p.html"}, "old copy"},
        {Ending::Dropped, false, {}, nullptr},
        {Ending::KeptPrivate, true, {"sub/p.html", "private"}, "old copy"},
    };
    int nCase = 0;
    for (const Case& c : cases)
    {
        ++nCase;
        CTempDir dir;
        const std::string local = dir / "sub/p.html";
        if (c.bOldCopy)
        {
            ASSERT_TRUE(FileSystem::CreatePath(local));
            WriteWholeFile(local, "old copy");
            ASSERT_TRUE(FileSystem::SetTimes(local, tOld));
        }
        std::string strKept;
        {
            CFileStore store(local);
            EXPECT_EQ(store.PartialPath(), FileSystem::PartialPath(local));
            ASSERT_EQ(store.Create(), "") << nCase;
            ASSERT_EQ(store.Write("new ", 4), "");
            ASSERT_EQ(store.Write("body", 4), "");
            if (c.ending != Ending::Dropped)
            {
                ASSERT_EQ(store.Finish(tNew), "");
            }
            if (c.ending == Ending::Placed || c.ending == Ending::PlacedKeepingOld)
                EXPECT_EQ(store.PutInPlace(c.ending == Ending::PlacedKeepingOld), "") << nCase;
            else if (c.ending == Ending::KeptPrivate)
                strKept = store.KeepPrivate();
            else if (c.ending == Ending::Discarded)
                store.Discard();
        }
        std::set<std::string> expected = c.files;
        if (expected.erase("private") != 0)
        {
            EXPECT_EQ(strKept, FileSystem::PartialPath(local)) << nCase;
            EXPECT_EQ(ReadWholeFile(strKept), "new body") << nCase;
            expected.insert(strKept.substr(dir.Path().size()));
        }
        EXPECT_EQ(FilesIn(dir.Path()), expected) << nCase;
        if (c.content != nullptr)
        {
            EXPECT_EQ(ReadWholeFile(local), c.content) << nCase;
            EXPECT_EQ(FileSystem::GetWriteTime(local),
                      std::optional<std::int64_t>(std::string(c.content) == "new body" ? tNew : tOld))
                << nCase;
        }
        if (expected.count(stamped) != 0)
        {
            EXPECT_EQ(ReadWholeFile(dir / stamped), "old copy");
            EXPECT_EQ(FileSystem::GetWriteTime(dir / stamped), std::optional<std::int64_t>(tOld));
        }
    }
}

TEST(FileStore, ABodyLargerThanTheWriteBufferArrivesWholeAndInOrder)
{
    CTempDir dir;
    std::string body;
    for (int i = 0; body.size() < 300 * 1024; ++i)
        body += std::to_string(i) + ',';
    CFileStore store(dir / "big.txt");
    ASSERT_EQ(store.Create(), "");
    // Blocks of every size around the buffer's, one larger than the buffer among them.
    size_t nOffset = 0;
    for (size_t nBlock : {size_t{1}, size_t{255}, size_t{256}, size_t{65535}, size_t{100000}, size_t{7}})
    {
        ASSERT_EQ(store.Write(body.data() + nOffset, nBlock), "");
        nOffset += nBlock;
    }
    ASSERT_EQ(store.Write(body.data() + nOffset, body.size() - nOffset), "");
    ASSERT_EQ(store.Finish(std::nullopt), "");
    EXPECT_FALSE(FileSystem::Exists(dir / "big.txt")) << "nothing under the final name before it is placed";
    ASSERT_EQ(store.PutInPlace(false), "");
    EXPECT_EQ(ReadWholeFile(dir / "big.txt"), body);
}

TEST(FileStore, AFileThatCannotBeCreatedIsNamedInTheLogLine)
{
    CTempDir dir;
    WriteWholeFile(dir / "blocker", "a file where a folder should be");
    CFileStore store(dir / "blocker/p.html");
    EXPECT_EQ(store.Create(), "Unable to create file [" + (dir / "blocker/p.html") + "], error [20].");
    EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"blocker"}));
}

} // namespace
