#include "FetchFixture.h"
#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"
#include "settings/SettingsTable.h"
#include "support/ScopedNoDacOverride.h"
#include "support/TempDir.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

using StorageTest = FetchTest;

TEST_F(StorageTest, SkipExistingSendsNoRequestForAPresentCopy)
{
    server.Serve("/a/x/y.html", TestResponse::Ok("server page"));
    server.Serve("/a/logo.gif", TestResponse::Ok("GIF", "image/gif"));
    server.Serve("/a/new.html", TestResponse::Ok("fresh", "text/html"));
    WriteWholeFile(Local("x/y.html"), "local page");
    WriteWholeFile(Local("logo.gif"), "local gif");
    auto pFetcher = MakeFetcher();

    const Outcome page = Fetch(*pFetcher, "/a/x/y.html");
    EXPECT_TRUE(page.bOk);
    EXPECT_EQ(page.strType, "text/html");
    const Outcome logo = Fetch(*pFetcher, "/a/logo.gif");
    EXPECT_TRUE(logo.bOk);
    EXPECT_EQ(logo.strType, "");
    EXPECT_TRUE(server.Targets().empty());
    EXPECT_EQ(ReadWholeFile(Local("x/y.html")), "local page");

    const Outcome fresh = Fetch(*pFetcher, "/a/new.html");
    EXPECT_TRUE(fresh.bOk);
    EXPECT_EQ(ReadWholeFile(Local("new.html")), "fresh");
    EXPECT_EQ(pFetcher->GetBytesReceived(), 5);
    EXPECT_EQ(pFetcher->GetBytesExpected(), 5);
}

TEST_F(StorageTest, DateModesCompareTheServerDateWithTheLocalCopy)
{
    const std::time_t t = 1600000000;
    server.Serve("/a/p.html", Dated("first", t));
    app.StoreDword(kValueFileCheck, 1);
    auto pFetcher = MakeFetcher();

    ASSERT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "first");
    EXPECT_EQ(FileSystem::GetWriteTime(Local("p.html")), std::optional<std::int64_t>(t));

    // Same date: asked, not downloaded, and the server's type still says it is a page.
    server.Serve("/a/p.html", Dated("changed but same date", t, "text/html"));
    const Outcome same = Fetch(*pFetcher, "/a/p.html");
    EXPECT_TRUE(same.bOk);
    EXPECT_EQ(same.strType, "text/html");
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "first");

    server.Serve("/a/p.html", Dated("second", t + 1));
    EXPECT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "second");
    EXPECT_EQ(FileSystem::GetWriteTime(Local("p.html")), std::optional<std::int64_t>(t + 1));
    EXPECT_EQ(server.CountOf("/a/p.html"), 3u);

    // No date from the server: fetched every time.
    server.Serve("/a/p.html", TestResponse::Ok("undated"));
    EXPECT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "undated");
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"p.html"}));
}

TEST_F(StorageTest, RenameOldStampsTheOldCopyWithItsOwnTime)
{
    const std::time_t t = 1600000000;
    app.StoreDword(kValueFileCheck, 2);
    auto pFetcher = MakeFetcher();

    server.Serve("/a/p.html", Dated("old", t));
    ASSERT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);
    server.Serve("/a/p.html", Dated("new", t + 60));
    ASSERT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);

    const std::string stamped = "p" + TimeFormat::Local(" %Y%m%d%H%M%S", t) + ".html";
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"p.html", stamped}));
    EXPECT_EQ(ReadWholeFile(Local(stamped)), "old");
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "new");

    // A dot in a folder name is no extension: the stamp goes after the file name.
    server.Serve("/a/v1.2/readme", Dated("old readme", t));
    ASSERT_TRUE(Fetch(*pFetcher, "/a/v1.2/readme").bOk);
    server.Serve("/a/v1.2/readme", Dated("new readme", t + 60));
    ASSERT_TRUE(Fetch(*pFetcher, "/a/v1.2/readme").bOk);
    EXPECT_EQ(ReadWholeFile(Local("v1.2/readme" + TimeFormat::Local(" %Y%m%d%H%M%S", t))), "old readme");
}

TEST_F(StorageTest, RenamingTwiceWithinOneSecondLosesNoCopy)
{
    const std::time_t t0 = 1500000000;
    app.StoreDword(kValueFileCheck, 2);
    auto pFetcher = MakeFetcher();
    std::atomic<int> version{0};
    server.Serve("/a/p.html",
                 [&](const TestRequest&) { return TestResponse::Ok("v" + std::to_string(++version)); });

    // Copies that would take the current-time names the fallback tries.
    const std::time_t now = std::time(nullptr);
    for (std::time_t s = now; s < now + 5; ++s)
        WriteWholeFile(Local("p" + TimeFormat::Local(" %Y%m%d%H%M%S", s) + ".html"), "user");

    for (int i = 0; i < 3; ++i)
    {
        if (FileSystem::Exists(Local("p.html")))
            FileSystem::SetTimes(Local("p.html"), t0); // every old copy claims the same second
        ASSERT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);
    }

    std::multiset<std::string> contents;
    for (const std::string& name : FilesIn(app.Destination()))
        contents.insert(ReadWholeFile(Local(name)));
    EXPECT_EQ(contents,
              (std::multiset<std::string>{"v1", "v2", "v3", "user", "user", "user", "user", "user"}));
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "v3");
    EXPECT_EQ(ReadWholeFile(Local("p" + TimeFormat::Local(" %Y%m%d%H%M%S", t0) + ".html")), "v1");
}

TEST_F(StorageTest, ACutTransferIsDeletedAndKeepsTheOldCopyWithOrWithoutALength)
{
    // Short of its length; and without a length, ended by a reset instead of the orderly end.
    TestResponse shortOfLength = Dated(std::string(512, 'x'), 1700000000);
    shortOfLength.contentLength = 1000;
    server.Serve("/a/short.html", shortOfLength);
    TestResponse reset = Dated(std::string(300000, 'r'), 1700000000);
    reset.bNoLength = true;
    reset.bReset = true;
    server.Serve("/a/reset.html", reset);
    TestResponse orderly = TestResponse::Ok(std::string(512, 'y'));
    orderly.bNoLength = true;
    server.Serve("/a/orderly.html", orderly);

    for (const char* name : {"short.html", "reset.html"})
    {
        for (unsigned mode : {0u, 1u, 2u})
        {
            std::filesystem::remove(Local("short.html"));
            std::filesystem::remove(Local("reset.html"));
            app.StoreDword(kValueFileCheck, mode);
            auto pFetcher = MakeFetcher();
            if (mode != 0)
            {
                WriteWholeFile(Local(name), "old copy");
                FileSystem::SetTimes(Local(name), 1000000000);
            }
            const Outcome outcome = Fetch(*pFetcher, std::string("/a/") + name);
            EXPECT_FALSE(outcome.bOk) << name << mode;
            EXPECT_EQ(pFetcher->GetBytesReceived(), 0) << name << mode;
            EXPECT_EQ(pFetcher->GetBytesExpected(), name == std::string("short.html") ? 1000 : 0);
            EXPECT_EQ(outcome.strError, "File not complete, deleting [" + Local(name) + "]");
            const std::set<std::string> expected =
                mode == 0 ? std::set<std::string>{} : std::set<std::string>{name};
            EXPECT_EQ(FilesIn(app.Destination()), expected) << name << mode;
            if (mode != 0)
            {
                EXPECT_EQ(ReadWholeFile(Local(name)), "old copy") << name << mode;
                EXPECT_EQ(FileSystem::GetWriteTime(Local(name)), std::optional<std::int64_t>(1000000000));
            }
        }
    }

    // Only the server's orderly end makes a length-less body whole.
    app.StoreDword(kValueFileCheck, 0);
    auto pFetcher = MakeFetcher();
    EXPECT_TRUE(Fetch(*pFetcher, "/a/orderly.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("orderly.html")), std::string(512, 'y'));
    EXPECT_NE(app.LogText().find("File not complete, deleting [" + Local("reset.html") + "]\n"),
              std::string::npos);
}

TEST_F(StorageTest, LengthsBeyond32BitsAreKeptWhole)
{
    // 2^32 + 1000: a 32-bit count would wrap to exactly the bytes sent and call the file complete.
    const std::uint64_t nHuge = (std::uint64_t(1) << 32) + 1000;
    TestResponse lying = TestResponse::Ok(std::string(1000, 'z'), "application/octet-stream");
    lying.contentLength = nHuge;
    server.Serve("/a/huge.bin", lying);
    auto pFetcher = MakeFetcher();

    EXPECT_FALSE(Fetch(*pFetcher, "/a/huge.bin").bOk);
    EXPECT_EQ(pFetcher->GetBytesExpected(), static_cast<std::int64_t>(nHuge));
    EXPECT_FALSE(FileSystem::Exists(Local("huge.bin")));
}

TEST_F(StorageTest, NotFoundInADateModeUsesTheLocalCopy)
{
    app.StoreDword(kValueFileCheck, 1);
    auto pFetcher = MakeFetcher();
    WriteWholeFile(Local("gone.html"), "kept");
    WriteWholeFile(Local("gone.gif"), "kept");

    const Outcome page = Fetch(*pFetcher, "/a/gone.html");
    EXPECT_TRUE(page.bOk);
    EXPECT_FALSE(page.bNotFound);
    EXPECT_EQ(page.strType, "text/html");
    const Outcome image = Fetch(*pFetcher, "/a/gone.gif");
    EXPECT_FALSE(image.bNotFound);
    EXPECT_EQ(image.strType, "");
    const Outcome absent = Fetch(*pFetcher, "/a/never.html");
    EXPECT_TRUE(absent.bOk);
    EXPECT_TRUE(absent.bNotFound);
    EXPECT_EQ(ReadWholeFile(Local("gone.html")), "kept");
    EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/gone.html", "/a/gone.gif", "/a/never.html"}));
}

TEST_F(StorageTest, NamelessAddressesBecomeIndexOrTemporaryPages)
{
    server.Serve("/a/", TestResponse::Ok("<html>folder</html>"));
    auto pTemp = MakeFetcher();
    const Outcome temporary = Fetch(*pTemp, "/a/");
    EXPECT_TRUE(temporary.bTemporary);
    EXPECT_EQ(ReadWholeFile(temporary.strLocalPath), "<html>folder</html>");
    EXPECT_EQ(temporary.strLocalPath.rfind(app.Destination(), 0), 0u) << "stored in the folder it names";
    FileSystem::Delete(temporary.strLocalPath);

    app.StoreDword(kValueNoNameAsIndex, 1);
    auto pIndex = MakeFetcher();
    const Outcome index = Fetch(*pIndex, "/a/");
    EXPECT_FALSE(index.bTemporary);
    EXPECT_EQ(ReadWholeFile(Local("index.html")), "<html>folder</html>");
}

TEST_F(StorageTest, AFolderPageReadForLinksLeavesATempHtmlAlone)
{
    server.Serve("/a/", TestResponse::Ok("<html>folder</html>"));
    server.Serve("/a/sub/", TestResponse::Ok("<html>sub folder</html>"));
    WriteWholeFile(Local("temp.html"), "the user's own temp.html");
    FileSystem::SetTimes(Local("temp.html"), 2000000000); // newer than anything the server says
    WriteWholeFile(Local("sub/temp.html"), "a temp.html the site serves");

    for (unsigned mode : {0u, 1u, 2u})
    {
        app.StoreDword(kValueFileCheck, mode);
        auto pFetcher = MakeFetcher();
        server.ClearLog();
        for (const char* folder : {"/a/", "/a/sub/"})
        {
            const Outcome outcome = Fetch(*pFetcher, folder);
            ASSERT_TRUE(outcome.bOk) << mode << folder;
            EXPECT_TRUE(outcome.bTemporary);
            EXPECT_EQ(outcome.strType, "text/html");
            const std::string page = outcome.strLocalPath;
            EXPECT_EQ(ReadWholeFile(page),
                      std::string("<html>") + (folder[3] ? "sub " : "") + "folder</html>")
                << "the folder page is what is read for links, in mode " << mode;
            // What the crawl loop does with a temporary page once it has been parsed.
            EXPECT_TRUE(FileSystem::Delete(page));
        }
        EXPECT_EQ(server.Targets(), (std::vector<std::string>{"/a/", "/a/sub/"})) << mode;
        EXPECT_EQ(ReadWholeFile(Local("temp.html")), "the user's own temp.html") << mode;
        EXPECT_EQ(ReadWholeFile(Local("sub/temp.html")), "a temp.html the site serves") << mode;
        EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{"temp.html", "sub/temp.html"})) << mode;
    }
}

TEST_F(StorageTest, TheBodyIsNeverWrittenThroughALinkAtItsPartialName)
{
    server.Serve("/a/ok.html", TestResponse::Ok("from the server"));
    CTempDir elsewhere;
    const std::string victim = elsewhere / "victim";
    WriteWholeFile(victim, "not to be overwritten");
    // Links planted where a partial file would go: the name of older releases, and today's.
    for (const std::string& name :
         {Local(".ok.html.harvestly-part"), FileSystem::PartialPath(Local("ok.html"))})
        ASSERT_EQ(::symlink(victim.c_str(), name.c_str()), 0) << name;

    auto pFetcher = MakeFetcher();
    const Outcome ok = Fetch(*pFetcher, "/a/ok.html");
    ASSERT_TRUE(ok.bOk) << ok.strError;
    EXPECT_EQ(ReadWholeFile(victim), "not to be overwritten");
    EXPECT_EQ(ReadWholeFile(Local("ok.html")), "from the server");
    struct stat info;
    ASSERT_EQ(::lstat(Local("ok.html").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
}

TEST_F(StorageTest, LongNamesAreStoredAndLeftoversOfAnInterruptedRunGo)
{
    auto pFetcher = MakeFetcher();
    for (size_t length : {240u, 250u, 255u})
    {
        const std::string name = std::string(length - 5, 'l') + ".html";
        server.Serve("/a/" + name, TestResponse::Ok("long " + std::to_string(length)));
        const Outcome stored = Fetch(*pFetcher, "/a/" + name);
        ASSERT_TRUE(stored.bOk) << length << ": " << stored.strError;
        EXPECT_EQ(ReadWholeFile(Local(name)), "long " + std::to_string(length));
    }

    // What a run cut off mid-transfer leaves is replaced when the next run stores that file.
    server.Serve("/a/p.html", TestResponse::Ok("whole"));
    WriteWholeFile(FileSystem::PartialPath(Local("p.html")), "half of an earlier tr");
    ASSERT_TRUE(Fetch(*pFetcher, "/a/p.html").bOk);
    EXPECT_EQ(ReadWholeFile(Local("p.html")), "whole");
    EXPECT_FALSE(FileSystem::Exists(FileSystem::PartialPath(Local("p.html"))));
    EXPECT_EQ(FilesIn(app.Destination()).size(), 4u);
}

TEST_F(StorageTest, NothingIsWrittenOutsideTheDestination)
{
    server.Serve("/a/../escape.html", TestResponse::Ok("bad"));
    server.Serve("/a/x/../y.html", TestResponse::Ok("bad"));
    auto pFetcher = MakeFetcher();
    for (const char* path : {"/a/../escape.html", "/a/x/../y.html"})
    {
        const Outcome refused = Fetch(*pFetcher, path);
        EXPECT_FALSE(refused.bOk) << path;
        EXPECT_NE(refused.strError.find("outside the destination folder"), std::string::npos);
    }
    EXPECT_TRUE(server.Targets().empty());
    EXPECT_FALSE(FileSystem::Exists(app.Destination() + "../escape.html"));
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{}));
}

TEST_F(StorageTest, UncreatableAndUnwritableFilesAreReportedAndLeaveNothing)
{
    server.Serve("/a/ro/p.html", TestResponse::Ok("page"));
    TestResponse big = TestResponse::Ok(std::string(200 * 1024, 'b'), "application/octet-stream");
    big.bNoLength = true;
    server.Serve("/a/big.bin", big);
    auto pFetcher = MakeFetcher();

    FileSystem::CreateDirectory(Local("ro"));
    ::chmod(Local("ro").c_str(), 0555);
    Outcome uncreatable;
    {
        CScopedNoDacOverride noOverride;
        uncreatable = Fetch(*pFetcher, "/a/ro/p.html");
    }
    EXPECT_FALSE(uncreatable.bOk);
    EXPECT_EQ(uncreatable.strError, "Unable to create file [" + Local("ro/p.html") + "], error [13].");
    ::chmod(Local("ro").c_str(), 0755);

    // A write that fails is a failed transfer even when no length says the file is short.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Outcome outcome = Fetch(*pFetcher, "/a/big.bin");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(outcome.bOk);
    EXPECT_EQ(pFetcher->GetBytesReceived(), 0);
    EXPECT_NE(app.LogText().find(" : WriteFile error [27]\n"), std::string::npos);
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{}));
}

TEST_F(StorageTest, TheByteCountFollowsEveryBlockRead)
{
    // A small file, held by the server after its first block until the count has moved.
    std::promise<void> counted;
    std::shared_future<void> released = counted.get_future().share();
    TestResponse page = TestResponse::Ok(std::string(4096, 'c'), "application/octet-stream");
    page.afterFirstBlock = [released] { released.wait_for(std::chrono::seconds(10)); };
    server.Serve("/a/small.bin", page);
    auto pFetcher = MakeFetcher();

    Outcome outcome;
    std::thread worker([&] { outcome = Fetch(*pFetcher, "/a/small.bin"); });
    std::int64_t nSeen = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (nSeen == 0 && std::chrono::steady_clock::now() < giveUp)
    {
        nSeen = pFetcher->GetBytesReceived();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    counted.set_value();
    worker.join();

    EXPECT_GT(nSeen, 0);
    EXPECT_LT(nSeen, 4096);
    EXPECT_TRUE(outcome.bOk);
    EXPECT_EQ(pFetcher->GetBytesReceived(), 4096);
    EXPECT_EQ(ReadWholeFile(Local("small.bin")), std::string(4096, 'c'));
}

TEST_F(StorageTest, ClosingEndsATransferAfterItsBlock)
{
    for (bool bKnownLength : {true, false})
    {
        TestResponse slow = TestResponse::Ok(std::string(256 * 200, 's'), "application/octet-stream");
        slow.blockDelay = std::chrono::milliseconds(10);
        slow.bNoLength = !bKnownLength;
        // The window closes while the transfer is under way.
        slow.afterFirstBlock = [this] { app.App().SetClosing(true); };
        const std::string path = bKnownLength ? "/a/known.bin" : "/a/unknown.bin";
        server.Serve(path, slow);
        app.App().SetClosing(false);
        auto pFetcher = MakeFetcher();

        const Outcome outcome = Fetch(*pFetcher, path);
        // Whether or not a length says so, a body the closing program cut short is no copy.
        EXPECT_FALSE(outcome.bOk) << bKnownLength;
        EXPECT_FALSE(FileSystem::Exists(Local(path.substr(3)))) << bKnownLength;
        EXPECT_EQ(outcome.strError, "File not complete, deleting [" + Local(path.substr(3)) + "]");
        EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{})) << bKnownLength;
    }
    app.App().SetClosing(false);
}

TEST_F(StorageTest, AStoredPageIsHeldInMemoryExactlyAsWrittenAndOnlyThen)
{
    std::string page;
    for (int i = 0; page.size() < 300 * 1024; ++i)
        page += "<a href='p" + std::to_string(i) + ".html'>\r\n";
    server.Serve("/a/page.html", Dated(page, 1000000000));
    server.Serve("/a/charset.html", TestResponse::Ok("<a href=x.html>", "text/html; charset=utf-8"));
    server.Serve("/a/pic.gif", TestResponse::Ok("GIF89a", "image/gif"));
    server.Serve("/a/huge.html", TestResponse::Ok(std::string(8 * 1024 * 1024 + 1, 'x')));
    app.StoreDword(kValueFileCheck, 1); // by date: a copy as new as the server's is kept

    auto pFetcher = MakeFetcher();
    bool bHold = true;
    std::string heldText;
    auto held = [&](const std::string& path)
    {
        const FetchResult fetched = pFetcher->Download(server.Url(path), bHold);
        EXPECT_TRUE(fetched.bOk) << path;
        EXPECT_EQ(fetched.strPageText.empty(), !fetched.bPageHeld) << path;
        heldText = fetched.strPageText;
        return fetched.bPageHeld;
    };
    ASSERT_TRUE(held("/a/page.html"));
    EXPECT_EQ(heldText, page);
    EXPECT_EQ(ReadWholeFile(Local("page.html")), page);
    // Only the exact type is a page; a larger page is read back from its file.
    EXPECT_FALSE(held("/a/charset.html"));
    EXPECT_FALSE(held("/a/pic.gif"));
    EXPECT_FALSE(held("/a/huge.html"));
    EXPECT_EQ(std::filesystem::file_size(Local("huge.html")), 8u * 1024 * 1024 + 1);
    // The copy on disk is as new as the server's: it is not fetched, so nothing is held.
    EXPECT_FALSE(held("/a/page.html"));
    std::filesystem::remove(Local("page.html"));
    bHold = false;
    EXPECT_FALSE(held("/a/page.html"));
}

TEST_F(StorageTest, ClosingDoesNotWaitForAServerThatKeepsTheAnswerBack)
{
    // The window closes while the server holds back its answer.
    std::promise<void> fetched;
    std::shared_future<void> released = fetched.get_future().share();
    // Shared: the server's thread may still finish its answer after the test has ended.
    auto pHolding = std::make_shared<std::atomic<bool>>(false);
    server.Serve("/a/held.html",
                 [this, released, pHolding](const TestRequest&)
                 {
                     *pHolding = true;
                     app.App().SetClosing(true);
                     released.wait_for(std::chrono::seconds(10));
                     *pHolding = false;
                     return TestResponse::Ok("late");
                 });
    auto pFetcher = MakeFetcher();

    const Outcome outcome = Fetch(*pFetcher, "/a/held.html");
    const bool bReturnedWhileHeld = *pHolding;
    fetched.set_value();
    app.App().SetClosing(false);

    EXPECT_TRUE(bReturnedWhileHeld);
    EXPECT_FALSE(outcome.bOk);
    EXPECT_EQ(FilesIn(app.Destination()), (std::set<std::string>{}));
    EXPECT_NE(app.LogText().find("the transfer was cancelled"), std::string::npos);
}

} // namespace
