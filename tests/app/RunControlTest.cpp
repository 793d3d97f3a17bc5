#include "RunFixture.h"
#include "crawl/CrawlJob.h"
#include "settings/SettingsTable.h"
#include "support/TempDir.h"
#include "ui/MenuTemplate.h"

#include <QListWidget>
#include <QMenu>
#include <QRegularExpression>
#include <filesystem>

namespace
{

using RunControlTest = RunFixture;

const std::string kRule(74, '=');

std::vector<std::string> ListLines(CMainDlg& dialog)
{
    std::vector<std::string> lines;
    auto* pList = dialog.Item<QListWidget>(IDC_PENDING_LIST);
    for (int i = 0; i < pList->count(); ++i)
        lines.push_back(pList->item(i)->text().toStdString());
    return lines;
}

// What the display showed at the moment a control's text changed.
struct ProgressSample
{
    std::string text;
    int nBar;
};

} // namespace

TEST_F(RunControlTest, WholeRunFromTheWindowMirrorsTheSiteShowsProgressAndReportsSuccess)
{
    // The page's files come right after it, the slow one first; a.html waits at the back.
    const std::string page = "<a href=\"a.html\">A</a><img src=\"img/logo.gif\"><a href=\"slow.zip\">Z</a>";
    m_server.Serve("/site/index.html", TestResponse::Ok(page));
    m_server.Serve("/site/a.html", TestResponse::Ok("<p>a</p>"));
    m_server.Serve("/site/img/logo.gif", TestResponse::Ok("GIF89a", "image/gif"));
    const std::string zip(320 * 1024, 'z');
    m_server.Serve("/site/slow.zip", Slow(zip, 32 * 1024, 150));

    const std::string destination = m_app.Destination() + "new/mirror";
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/site/index.html"), destination);
    EXPECT_EQ(Text(dialog, IDC_GO), "(&G)连接");

    std::vector<std::string> currents;
    std::vector<std::string> emptiedOnNewAddress;
    std::vector<ProgressSample> progress;
    std::vector<std::string> rates;
    auto* pCurrent = dialog.Item<QLineEdit>(IDC_CURRENT);
    QObject::connect(pCurrent, &QLineEdit::textChanged,
                     [&](const QString& text)
                     {
                         if (text.isEmpty())
                             return;
                         currents.push_back(text.toStdString());
                         // A new address drops the bar and empties the progress and rate texts.
                         emptiedOnNewAddress.push_back(Text(dialog, IDC_FILE_PROGRESS) + "|" +
                                                       Text(dialog, IDC_RATE) + "|" +
                                                       std::to_string(BarPos(dialog)));
                     });
    QObject::connect(dialog.Item<QLineEdit>(IDC_FILE_PROGRESS), &QLineEdit::textChanged,
                     [&](const QString& text)
                     {
                         if (!text.isEmpty())
                             progress.push_back({text.toStdString(), BarPos(dialog)});
                     });
    QObject::connect(dialog.Item<QLineEdit>(IDC_RATE), &QLineEdit::textChanged,
                     [&](const QString& text)
                     {
                         if (!text.isEmpty())
                             rates.push_back(text.toStdString());
                     });

    m_app.Boxes().ScriptAnswer(MsgAnswer::Yes);
    ClickGo(dialog);

    ASSERT_GE(m_app.Boxes().Count(), 1u);
    const MessageRequest prompt = m_app.Boxes().Shown().front();
    EXPECT_EQ(prompt.text, "Destination [" + destination + "/] does not exist.\nDo you wish to create it?");
    EXPECT_EQ(prompt.caption, "Create directory");
    EXPECT_EQ(prompt.buttons, MsgButtons::YesNo);
    EXPECT_EQ(prompt.icon, MsgIcon::Question);
    EXPECT_TRUE(std::filesystem::is_directory(destination));
    // Only the field gets the separator; the edit keeps what was typed.
    EXPECT_EQ(dialog.m_strDestination, destination + "/");
    EXPECT_EQ(Text(dialog, IDC_DESTINATION), destination);
    ExpectRunningWindow(dialog);
    EXPECT_EQ(TipsSinceAdd(), std::vector<std::string>{"Harvestly is working."});

    // While slow.zip trickles in, the counts, the address and the waiting list show where the run is.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Text(dialog, IDC_FILE_PROGRESS).find(" of 320.0k ") != std::string::npos; }, 10000));
    QTest::qWait(120);
    EXPECT_EQ(Text(dialog, IDC_CURRENT), m_server.Url("/site/slow.zip"));
    EXPECT_EQ(Text(dialog, IDC_PROCESSED), "2");
    EXPECT_EQ(Text(dialog, IDC_PENDING), "2");
    const std::vector<std::string> waiting = ListLines(dialog);
    EXPECT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting, dialog.m_pJob->GetPendingLines().lines);
    EXPECT_NE(std::find(waiting.begin(), waiting.end(), m_server.Url("/site/a.html")), waiting.end());

    ASSERT_TRUE(WaitForIdle(dialog));

    // The first tick may come after the page itself is done; what it shows is an address of the site.
    for (const std::string& current : currents)
        EXPECT_TRUE(current.starts_with(m_server.Url("/site/"))) << current;
    EXPECT_NE(std::find(currents.begin(), currents.end(), m_server.Url("/site/slow.zip")), currents.end());
    for (const std::string& state : emptiedOnNewAddress)
        EXPECT_EQ(state, "||0");

    // Every progress text has its form, and the bar stands at its percentage.
    const QRegularExpression progressForm(R"(^\d+\.\d of (\d+\.\d)k \((\d+\.\d)%\)$)");
    bool bSawPartial = false;
    for (const ProgressSample& sample : progress)
    {
        const QRegularExpressionMatch match = progressForm.match(QString::fromStdString(sample.text));
        ASSERT_TRUE(match.hasMatch()) << sample.text;
        const double dPercent = match.captured(2).toDouble();
        EXPECT_NEAR(sample.nBar, dPercent, 1.0) << sample.text;
        if (match.captured(1) == "320.0")
            bSawPartial = bSawPartial || (dPercent > 0 && dPercent < 100);
    }
    EXPECT_TRUE(bSawPartial);
    ASSERT_FALSE(rates.empty());
    for (const std::string& rate : rates)
        EXPECT_TRUE(
            QRegularExpression(R"(^ *\d+\.\d\d KBps$)").match(QString::fromStdString(rate)).hasMatch())
            << rate;

    // The outcome: tray tip, then the box, then the log line.
    ASSERT_EQ(m_app.Boxes().Count(), 2u);
    const MessageRequest outcome = m_app.Boxes().Shown().back();
    EXPECT_EQ(outcome.text, "Site processed.");
    EXPECT_EQ(outcome.caption, "Complete");
    EXPECT_EQ(outcome.buttons, MsgButtons::Ok);
    EXPECT_EQ(TipsSinceAdd(),
              (std::vector<std::string>{"Harvestly is working.", "Site processed successfully."}));
    const std::vector<unsigned> frames = m_tray.ShownFrames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames.front(), 137u);
    EXPECT_EQ(frames.back(), 150u);
    EXPECT_TRUE(dialog.TrayIcon().IsIdle());

    const std::vector<std::string> log = LogMessagesOf(ReadWholeFile(destination + "/error.log"));
    ASSERT_GE(log.size(), 7u);
    EXPECT_EQ(
        std::vector<std::string>(log.begin(), log.begin() + 6),
        (std::vector<std::string>{kRule, "New Session", "     Source: " + m_server.Url("/site/index.html"),
                                  "Destination: " + destination + "/", kRule, ""}));
    EXPECT_EQ(log.back(), "Site processing complete.");

    EXPECT_EQ(ReadWholeFile(destination + "/index.html"), page);
    EXPECT_EQ(ReadWholeFile(destination + "/a.html"), "<p>a</p>");
    EXPECT_EQ(ReadWholeFile(destination + "/img/logo.gif"), "GIF89a");
    EXPECT_EQ(ReadWholeFile(destination + "/slow.zip"), zip);
    EXPECT_EQ(ReadWholeFile(destination + "/shortcut.url"),
              "[InternetShortcut]\r\nURL=" + m_server.Url("/site/index.html") + "\r\nUser=\r\nPassword=\r\n");

    ExpectIdleWindow(dialog, "&Go");
    // Once idle the timer is gone: nothing rewrites the display any more.
    const size_t nProgressTexts = progress.size();
    QTest::qWait(150);
    EXPECT_EQ(progress.size(), nProgressTexts);
}

TEST_F(RunControlTest, TheFolderPromptAnsweredNoOrFailingToCreateStartsNothing)
{
    m_server.Serve("/site/index.html", TestResponse::Ok("<p>x</p>"));
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    const std::string declined = m_app.Destination() + "declined/";
    Open(dialog, m_server.Url("/site/index.html"), declined);
    const size_t nTrayCalls = m_tray.Calls().size();

    m_app.Boxes().ScriptAnswer(MsgAnswer::No);
    ClickGo(dialog);
    ASSERT_EQ(m_app.Boxes().Texts(),
              std::vector<std::string>{"Destination [" + declined +
                                       "] does not exist.\nDo you wish to create it?"});
    EXPECT_FALSE(std::filesystem::exists(declined));
    ExpectIdleWindow(dialog, "(&G)连接");
    EXPECT_EQ(m_tray.Calls().size(), nTrayCalls);
    EXPECT_FALSE(std::filesystem::exists(m_app.Destination() + "error.log"));

    // Below a plain file no folder can be made.
    WriteWholeFile(m_app.Destination() + "plain", "x");
    dialog.SetDlgItemText(IDC_DESTINATION, QString::fromStdString(m_app.Destination() + "plain/sub"));
    m_app.Boxes().Clear();
    m_app.Boxes().ScriptAnswer(MsgAnswer::Yes);
    ClickGo(dialog);
    const std::vector<MessageRequest> shown = m_app.Boxes().Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, "Unable to create directory");
    EXPECT_EQ(shown[1].caption, "Error!");
    EXPECT_EQ(shown[1].buttons, MsgButtons::Ok);
    ExpectIdleWindow(dialog, "(&G)连接");
    EXPECT_EQ(m_tray.Calls().size(), nTrayCalls);

    QTest::qWait(100);
    EXPECT_TRUE(m_server.Targets().empty());
}

TEST_F(RunControlTest, StopDuringASlowFileLetsItFinishThenReportsTheUserStop)
{
    // The page arrives in ten blocks over a second; its link is queued but never fetched.
    std::string page = "<a href=\"b.html\">b</a>" + std::string(100 * 1024, ' ');
    m_server.Serve("/site/index.html", Slow(page, 10 * 1024, 100, "text/html"));
    m_server.Serve("/site/b.html", TestResponse::Ok("<p>b</p>"));

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/site/index.html"), m_app.Destination());
    ClickGo(dialog);
    ASSERT_TRUE(m_server.WaitForRequest("/site/index.html"));

    ClickGo(dialog);
    EXPECT_TRUE(dialog.m_bUserStop);
    ASSERT_NE(dialog.m_pJob, nullptr);
    EXPECT_TRUE(dialog.m_pJob->m_bStop);
    EXPECT_EQ(Text(dialog, IDC_GO), "&Stop");
    EXPECT_FALSE(dialog.GetDlgItem(IDC_GO)->isEnabled());
    // A stop already asked for cannot be asked for again from the tray.
    const std::unique_ptr<QMenu> pMenu = dialog.CreateTrayMenu();
    EXPECT_FALSE(FindMenuItem(*pMenu, ID_TRAY_STOP)->isEnabled());

    ASSERT_TRUE(WaitForIdle(dialog));
    ASSERT_EQ(m_app.Boxes().Count(), 1u);
    EXPECT_EQ(m_app.Boxes().Shown()[0].text, "User stop.");
    EXPECT_EQ(m_app.Boxes().Shown()[0].caption, "Stopped");
    EXPECT_EQ(TipsSinceAdd().back(), "User stopped processing.");
    EXPECT_EQ(LogMessages().back(), "Processing stopped by user.");
    EXPECT_EQ(ReadWholeFile(m_app.Destination() + "index.html"), page);
    EXPECT_EQ(m_server.CountOf("/site/b.html"), 0u);
    ExpectIdleWindow(dialog, "&Go");
}

TEST_F(RunControlTest, AFailingSiteReportsFailureAlsoWhenStopWasPressedFirst)
{
    // Bodies cut off before their announced length: the fetch fails.
    TestResponse cut = TestResponse::Ok("<p>half</p>");
    cut.contentLength = 4096;
    m_server.Serve("/broken/index.html", cut);
    TestResponse slowCut = Slow(std::string(8 * 1024, 'x'), 1024, 100, "text/html");
    slowCut.contentLength = 64 * 1024;
    m_server.Serve("/slow/index.html", slowCut);

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/broken/index.html"), m_app.Destination());
    ClickGo(dialog);
    ASSERT_TRUE(WaitForIdle(dialog));
    ASSERT_NO_FATAL_FAILURE(ExpectFailureReported());
    ExpectIdleWindow(dialog, "&Go");

    // With retries allowed, only the stop keeps the broken file from being asked for again.
    m_app.StoreDword(kValueRetries, 2);
    m_app.Boxes().Clear();
    dialog.SetDlgItemText(IDC_URL, QString::fromStdString(m_server.Url("/slow/index.html")));
    ClickGo(dialog);
    EXPECT_FALSE(dialog.m_bUserStop);
    ASSERT_TRUE(m_server.WaitForRequest("/slow/index.html"));
    ClickGo(dialog);
    ASSERT_TRUE(WaitForIdle(dialog));
    ASSERT_NO_FATAL_FAILURE(ExpectFailureReported());
    // A stopped run makes no further attempt at the broken file.
    EXPECT_EQ(m_server.CountOf("/slow/index.html"), 1u);
}

TEST_F(RunControlTest, ClosingTheWindowDuringARunReportsNoOutcome)
{
    // A page that trickles in for far longer than the test: only closing ends it.
    m_server.Serve("/site/index.html", Slow(std::string(64 * 1024, 'x'), 256, 50));

    auto pDialog = std::make_unique<CMainDlg>(m_app.App(), &m_tray, &m_launcher);
    Open(*pDialog, m_server.Url("/site/index.html"), m_app.Destination());
    ClickGo(*pDialog);
    ASSERT_TRUE(m_server.WaitForRequest("/site/index.html"));
    QTest::qWait(120);

    pDialog->reject();
    EXPECT_EQ(pDialog->m_pJob, nullptr);
    pDialog.reset();
    // Whatever the worker asked for on its way out comes to nothing.
    QTest::qWait(100);
    EXPECT_EQ(m_app.Boxes().Count(), 0u);
    const std::vector<std::string> log = LogMessages();
    ASSERT_FALSE(log.empty());
    for (const char* outcome :
         {"Site processing failed.", "Processing stopped by user.", "Site processing complete."})
        EXPECT_EQ(std::find(log.begin(), log.end(), outcome), log.end()) << outcome;
    EXPECT_EQ(TipsSinceAdd(), std::vector<std::string>{"Harvestly is working."});
    EXPECT_EQ(m_tray.Calls().back().command, TrayCommand::Delete);
}

TEST_F(RunControlTest, ASecondRunInTheSameWindowStartsTheLogAfresh)
{
    m_server.Serve("/one/index.html", TestResponse::Ok("<p>one</p>"));
    m_server.Serve("/two/page.html", TestResponse::Ok("<p>two</p>"));

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    Open(dialog, m_server.Url("/one/index.html"), m_app.Destination());
    ClickGo(dialog);
    ASSERT_TRUE(WaitForIdle(dialog));
    ASSERT_EQ(LogMessages().back(), "Site processing complete.");

    dialog.SetDlgItemText(IDC_URL, QString::fromStdString(m_server.Url("/two/page.html")));
    ClickGo(dialog);
    ExpectRunningWindow(dialog);
    ASSERT_TRUE(WaitForIdle(dialog));

    const std::vector<std::string> log = LogMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), "New Session"), 1);
    EXPECT_EQ(log[2], "     Source: " + m_server.Url("/two/page.html"));
    EXPECT_EQ(log.back(), "Site processing complete.");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Site processing complete."), 1);
    EXPECT_EQ(m_app.Boxes().Texts(), (std::vector<std::string>{"Site processed.", "Site processed."}));
    EXPECT_EQ(ReadWholeFile(m_app.Destination() + "page.html"), "<p>two</p>");
    ExpectIdleWindow(dialog, "&Go");
}
