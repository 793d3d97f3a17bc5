#include "RunFixture.h"
#include "crawl/CrawlJob.h"
#include "platform/LocalFile.h"
#include "support/Planted.h"
#include "support/TempDir.h"
#include "ui/MenuTemplate.h"

#include <QAccessible>
#include <QMenu>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <future>

namespace
{

using RunMendsTest = RunFixture;

const std::string kVersion = "Harvestly v1.12建造 90";

} // namespace

TEST_F(RunMendsTest, AnEmptyDestinationIsRefusedWithoutStartingAnything)
{
    m_server.Serve("/site/index.html", TestResponse::Ok("<p>x</p>"));
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/site/index.html"), "");
    const size_t nTrayCalls = m_tray.Calls().size();

    ClickGo(dialog);
    const std::vector<MessageRequest> shown = m_app.Boxes().Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Please enter a destination folder.");
    EXPECT_EQ(shown[0].buttons, MsgButtons::Ok);
    ExpectIdleWindow(dialog, "(&G)连接");
    EXPECT_EQ(m_tray.Calls().size(), nTrayCalls);
    EXPECT_TRUE(dialog.m_strDestination.empty());
    QTest::qWait(100);
    EXPECT_TRUE(m_server.Targets().empty());
}

TEST_F(RunMendsTest, StopActsAtOnceEvenWhenTheDestinationHasGone)
{
    // The page is held after its first block until the stop has been pressed, however slowly
    // this thread gets there.
    std::promise<void> stopped;
    std::shared_future<void> released = stopped.get_future().share();
    std::string page = "<a href=\"b.html\">b</a>" + std::string(60 * 1024, ' ');
    TestResponse held = Slow(page, 6 * 1024, 100, "text/html");
    held.afterFirstBlock = [released] { released.wait_for(std::chrono::seconds(20)); };
    m_server.Serve("/site/index.html", held);
    m_server.Serve("/site/b.html", TestResponse::Ok("<p>b</p>"));
    const std::string destination = m_app.Destination() + "gone/";
    std::filesystem::create_directory(destination);

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/site/index.html"), destination);
    ClickGo(dialog);
    // Once the body has begun the worker has made its folders; moving the destination away leaves
    // nothing that would bring it back before the page ends.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.m_pJob->GetBytesExpected() != 0; }, 10000));
    std::filesystem::rename(destination, m_app.Destination() + "moved");

    // The tray menu's Stop runs the same handler as the button.
    const std::unique_ptr<QMenu> pMenu = dialog.CreateTrayMenu();
    QAction* pStop = FindMenuItem(*pMenu, ID_TRAY_STOP);
    ASSERT_TRUE(pStop->isEnabled());
    m_app.Boxes().ScriptAnswer(MsgAnswer::No);
    pStop->trigger();

    EXPECT_EQ(m_app.Boxes().Count(), 0u);
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_TRUE(dialog.m_bUserStop);
    ASSERT_NE(dialog.m_pJob, nullptr);
    EXPECT_TRUE(dialog.m_pJob->m_bStop);
    EXPECT_FALSE(dialog.GetDlgItem(IDC_GO)->isEnabled());
    stopped.set_value();

    ASSERT_TRUE(WaitForIdle(dialog));
    // Whether the page still found a folder to go to is the worker's race with the removal; either
    // way the run ends there, and nothing offered to create the folder again.
    size_t nOutcomes = 0;
    for (const MessageRequest& box : m_app.Boxes().Shown())
    {
        EXPECT_NE(box.caption, "Create directory");
        if (box.text == "User stop." || box.text == "Site processing failed.")
            ++nOutcomes;
    }
    EXPECT_EQ(nOutcomes, 1u);
    EXPECT_EQ(m_server.CountOf("/site/b.html"), 0u);
    ExpectIdleWindow(dialog, "&Go");
}

TEST_F(RunMendsTest, AShortcutOrLogHeaderThatCannotBeWrittenLeavesTheWindowIdle)
{
    m_server.Serve("/site/index.html", TestResponse::Ok("<p>x</p>"));
    const std::string destination = m_app.Destination();
    // A folder where the file should be: neither can be created.
    std::filesystem::create_directory(destination + "shortcut.url");
    WriteWholeFile(destination + "error.log", "the last run's log\n");

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/site/index.html"), destination);
    ClickGo(dialog);

    std::vector<MessageRequest> shown = m_app.Boxes().Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Unable to write [" + destination + "shortcut.url].");
    EXPECT_EQ(shown[0].caption, "Error!");
    ExpectIdleWindow(dialog, "(&G)连接");
    EXPECT_EQ(TipsSinceAdd(), (std::vector<std::string>{"Harvestly is working.", kVersion}));
    EXPECT_TRUE(dialog.TrayIcon().IsIdle());
    // No header was written: the last run's log is untouched.
    EXPECT_EQ(m_app.LogText(), "the last run's log\n");

    std::filesystem::remove(destination + "shortcut.url");
    std::filesystem::remove(destination + "error.log");
    // Whatever stands at the log's name, the window says so before anything is written.
    CTempDir outside;
    for (const Planted kind : kEveryPlanted)
    {
        SCOPED_TRACE(NameOf(kind));
        Plant(kind, destination + "error.log", outside / "target");
        m_app.Boxes().Clear();
        ClickGo(dialog);
        EXPECT_EQ(m_app.Boxes().Texts(),
                  std::vector<std::string>{"[" + destination +
                                           "error.log] is not a plain file (a link, a folder or a FIFO).\n"
                                           "Remove it or choose another destination folder."});
        ExpectIdleWindow(dialog, "(&G)连接");
        EXPECT_FALSE(std::filesystem::exists(destination + "shortcut.url"));
        std::filesystem::remove(destination + "error.log");
        std::filesystem::remove(outside / "target");
    }

    // A log another writer holds cannot be started: the log writer says why, once, and the window
    // does not go on without its log.
    WriteWholeFile(destination + "error.log", "held\n");
    {
        CLocalFile holder;
        ASSERT_TRUE(holder.Open(destination + "error.log", CLocalFile::Mode::AppendExisting));
        m_app.Boxes().Clear();
        ClickGo(dialog);
    }
    EXPECT_EQ(m_app.Boxes().Texts(),
              std::vector<std::string>{"Error creating logfile, processing will stop."});
    ExpectIdleWindow(dialog, "(&G)连接");
    EXPECT_TRUE(dialog.TrayIcon().IsIdle());
    QTest::qWait(150);
    EXPECT_TRUE(m_server.Targets().empty());

    // The window is fully usable again.
    m_app.Boxes().Clear();
    ClickGo(dialog);
    ASSERT_TRUE(WaitForIdle(dialog));
    EXPECT_EQ(m_app.Boxes().Texts(), std::vector<std::string>{"Site processed."});
    EXPECT_EQ(LogMessages().back(), "Site processing complete.");
    ExpectIdleWindow(dialog, "&Go");
}

TEST_F(RunMendsTest, ProgressOfLargeFilesIsComputedIn64BitsAndUnknownLengthsShowNoProgress)
{
    // nolen.bin comes first (files go to the head of the queue, the last found first).
    m_server.Serve("/site/index.html",
                   TestResponse::Ok("<a href=\"big.bin\">B</a><a href=\"nolen.bin\">N</a>"));
    TestResponse noLength = Slow(std::string(96 * 1024, 'n'), 8 * 1024, 60);
    noLength.bNoLength = true;
    m_server.Serve("/site/nolen.bin", noLength);
    // 22,000,000 bytes at once, then a pause: the received count stays above 21,474,836.
    constexpr std::int64_t kBigSize = 24'000'000;
    m_server.Serve("/site/big.bin", Slow(std::string(kBigSize, 'b'), 22'000'000, 1500));

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/site/index.html"), m_app.Destination());
    ClickGo(dialog);

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Text(dialog, IDC_CURRENT) == m_server.Url("/site/nolen.bin"); }, 10000));
    for (int nTick = 0; nTick < 8 && Text(dialog, IDC_CURRENT) == m_server.Url("/site/nolen.bin"); ++nTick)
    {
        EXPECT_EQ(Text(dialog, IDC_FILE_PROGRESS), "");
        EXPECT_EQ(BarPos(dialog), 0);
        QTest::qWait(50);
    }

    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return dialog.m_pJob != nullptr && dialog.m_pJob->GetBytesReceived() > 21'474'836; }, 15000));
    QTest::qWait(150);
    ASSERT_NE(dialog.m_pJob, nullptr);
    const std::int64_t nReceived = dialog.m_pJob->GetBytesReceived();
    ASSERT_LT(nReceived, kBigSize) << "the pause is over already";
    char expected[128];
    std::snprintf(expected, sizeof expected, "%.1f of %.1fk (%.1f%%)", double(nReceived) / 1024,
                  double(kBigSize) / 1024, 100.0 * double(nReceived) / double(kBigSize));
    EXPECT_EQ(Text(dialog, IDC_FILE_PROGRESS), expected);
    EXPECT_EQ(BarPos(dialog), int(100 * nReceived / kBigSize));
    EXPECT_GE(BarPos(dialog), 89);

    ASSERT_TRUE(WaitForIdle(dialog));
    EXPECT_EQ(m_app.Boxes().Texts(), std::vector<std::string>{"Site processed."});
    EXPECT_EQ(std::filesystem::file_size(m_app.Destination() + "big.bin"), std::uintmax_t(kBigSize));
}

TEST_F(RunMendsTest, BehindTheOutcomeBoxTheRunIsOverAndGoWaitsForTheBox)
{
    struct Case
    {
        const char* target;
        const char* boxText;
        const char* logLine;
    };
    const Case cases[] = {
        {"/site/index.html", "Site processed.", "Site processing complete."},
        {"/site/missing.html", "Site processing failed.", "Site processing failed."},
    };
    m_server.Serve("/site/index.html", TestResponse::Ok("<p>no links</p>", "text/html"));

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    for (const Case& test : cases)
    {
        struct Behind
        {
            int nBoxes = 0;
            std::string goCaption;
            bool bGoEnabled = true;
            bool bJobHeld = true;
            bool bTrayStopOffered = true;
            bool bLogged = false;
        } behind;
        m_app.Boxes().Clear();
        m_app.Boxes().WhileShown(
            [&](const MessageRequest& request)
            {
                if (request.text != test.boxText)
                    return;
                ++behind.nBoxes;
                behind.goCaption = Text(dialog, IDC_GO);
                behind.bGoEnabled = dialog.GetDlgItem(IDC_GO)->isEnabled();
                behind.bJobHeld = dialog.m_pJob != nullptr;
                behind.bLogged = LogMessages().back() == test.logLine;
                const std::unique_ptr<QMenu> pMenu = dialog.CreateTrayMenu();
                QAction* pStop = FindMenuItem(*pMenu, ID_TRAY_STOP);
                behind.bTrayStopOffered = pStop->isEnabled();
                // A screen reader presses the button behind the box; the tray's Stop and the
                // handler itself are tried as well.
                QAccessible::queryAccessibleInterface(dialog.GetDlgItem(IDC_GO))
                    ->actionInterface()
                    ->doAction(QAccessibleActionInterface::pressAction());
                pStop->trigger();
                dialog.OnGo();
            });
        Open(dialog, m_server.Url(test.target), m_app.Destination());
        ClickGo(dialog);
        ASSERT_TRUE(WaitForIdle(dialog)) << test.target;
        m_app.Boxes().WhileShown({});

        EXPECT_EQ(behind.nBoxes, 1) << test.target;
        EXPECT_EQ(behind.goCaption, "&Go") << test.target;
        EXPECT_FALSE(behind.bGoEnabled) << test.target;
        EXPECT_FALSE(behind.bJobHeld) << test.target;
        EXPECT_FALSE(behind.bTrayStopOffered) << test.target;
        EXPECT_TRUE(behind.bLogged) << "the outcome line is in the log before the box";
        EXPECT_EQ(m_app.Boxes().Texts(), std::vector<std::string>{test.boxText});
        const std::vector<std::string> messages = LogMessages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), test.logLine), 1) << test.target;
        EXPECT_EQ(m_server.CountOf(test.target), 1u);
        ExpectIdleWindow(dialog, "&Go");
        m_server.ClearLog();
    }
}

TEST_F(RunMendsTest, ADestinationThatIsNoFolderIsNamedAndNotOfferedForCreation)
{
    const std::string file = m_app.Destination() + "a-file";
    WriteWholeFile(file, "not a folder");
    struct Case
    {
        std::string typed;
        std::string boxText;
    };
    const Case cases[] = {
        {"", "Please enter a destination folder."},
        {file, "Destination [" + file + "] is a file, not a folder."},
        {file + "/", "Destination [" + file + "/] is a file, not a folder."},
    };
    m_server.Serve("/site/index.html", TestResponse::Ok("<p>x</p>"));
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    for (const Case& test : cases)
    {
        m_app.Boxes().Clear();
        m_app.Boxes().ScriptAnswer(MsgAnswer::Yes);
        Open(dialog, m_server.Url("/site/index.html"), test.typed);
        ClickGo(dialog);
        EXPECT_EQ(m_app.Boxes().Texts(), std::vector<std::string>{test.boxText}) << test.typed;
        EXPECT_EQ(ReadWholeFile(file), "not a folder");
        ExpectIdleWindow(dialog, "(&G)连接");
    }
    QTest::qWait(100);
    EXPECT_TRUE(m_server.Targets().empty());
}

TEST_F(RunMendsTest, TheCountsAreAnnouncedWithTheirNumbers)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    CProgressDisplay display(dialog);
    const auto announced = [&](int nId)
    {
        return QAccessible::queryAccessibleInterface(dialog.GetDlgItem(nId))
            ->text(QAccessible::Name)
            .toStdString();
    };

    display.Reset();
    EXPECT_EQ(announced(IDC_PROCESSED), "过程 0");
    EXPECT_EQ(announced(IDC_PENDING), "未决的 0");
    const std::pair<long, long> counts[] = {{12, 3}, {12, 0}, {4096, 17}};
    for (const auto& [nProcessed, nPending] : counts)
    {
        CrawlProgress progress;
        progress.nProcessed = nProcessed;
        progress.nPending = nPending;
        display.Show(progress);
        EXPECT_EQ(Text(dialog, IDC_PROCESSED), std::to_string(nProcessed));
        EXPECT_EQ(announced(IDC_PROCESSED), "过程 " + std::to_string(nProcessed));
        EXPECT_EQ(announced(IDC_PENDING), "未决的 " + std::to_string(nPending));
    }
    dialog.reject();
}
