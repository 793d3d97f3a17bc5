#include "app/MainDlg.h"
#include "crawl/CrawlJob.h"
#include "crawl/CrawlOwner.h"
#include "crawl/InternetThread.h"
#include "support/OptionsFixture.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/gui/ModalHelper.h"
#include "support/gui/ShellRecorders.h"
#include "ui/FilterDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <set>

namespace
{

using Files = std::set<std::string>;

// Tells the test when the worker has finished a run.
class CRunWaiter : public ICrawlOwner
{
public:
    void OnCrawlDone(bool bResult) override { m_done.set_value(bResult); }
    std::future<bool> Result() { return m_done.get_future(); }

private:
    std::promise<bool> m_done;
};

class FilterRunTest : public ::testing::Test
{
protected:
    FilterRunTest() : dialog(test.App(), &tray, &launcher)
    {
        server.Serve("/site/index.html", TestResponse::Ok("<html><body>\n"
                                                          "<img src=\"logo.gif\"><img src=\"photo.jpg\">\n"
                                                          "<a href=\"more.html\">more</a>\n"
                                                          "</body></html>\n"));
        server.Serve("/site/more.html", TestResponse::Ok("<a href=\"pics/deep.GIF\">deep</a>\n"));
        for (const char* file : {"/site/logo.gif", "/site/photo.jpg", "/site/pics/deep.GIF"})
            server.Serve(file, TestResponse::Ok(std::string("data ") + file, "image/gif"));
    }

    // One run on the worker thread, as Go starts it, into a folder of its own; the files kept.
    Files RunInto(const std::string& strFolder)
    {
        const std::string strDestination = test.Destination() + strFolder + "/";
        std::filesystem::create_directories(strDestination);
        CCrawlJob job(test.App(), test.Settings(), server.Url("/site/index.html"), strDestination, "", "",
                      true);
        CRunWaiter waiter;
        std::future<bool> result = waiter.Result();
        const std::unique_ptr<CInternetThread> pWorker = CInternetThread::Create();
        if (!pWorker)
            return {"no worker"};
        pWorker->SetJob(&job);
        pWorker->SetOwner(&waiter);
        pWorker->PostThreadMessage(TM_RUNJOB);
        const bool bFinished = result.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        pWorker->End();
        if (!bFinished)
            return {"run did not end"};
        EXPECT_TRUE(result.get());
        return FilesIn(strDestination);
    }

    // The user's way in: the Filter button, the dialog, its edit, ">>", the Exclude box and OK.
    void SetFilterInDialog(const QStringList& entries, bool bExclude)
    {
        WhenModalAppears(
            [entries, bExclude](QWidget* pModal)
            {
                auto* pFilterDlg = qobject_cast<CFilterDlg*>(pModal);
                ASSERT_NE(pFilterDlg, nullptr);
                for (const QString& entry : entries)
                {
                    pFilterDlg->Item<QLineEdit>(IDC_FILTER_ENTRY)->setText(entry);
                    pFilterDlg->Item<QPushButton>(IDC_FILTER_ADD)->click();
                }
                pFilterDlg->CheckDlgButton(IDC_FILTER_EXCLUDE, bExclude ? 1 : 0);
                pFilterDlg->Item<QPushButton>(1)->click();
            });
        dialog.Item<QAbstractButton>(IDC_FILTER)->click();
    }

    CTestApp test;
    CTestHttpServer server;
    CTrayShellRecorder tray;
    CShellLauncherRecorder launcher;
    CMainDlg dialog;
};

TEST_F(FilterRunTest, AFilterSetInTheDialogDecidesWhatTheNextRunKeeps)
{
    const Files everything{"index.html", "more.html", "logo.gif", "photo.jpg", "pics/deep.GIF"};
    EXPECT_EQ(RunInto("before"), everything);

    dialog.Item<QAbstractButton>(IDC_USE_FILTERS)->click();
    SetFilterInDialog({"*.gif"}, false);
    ASSERT_EQ(StoredString(kValueFilter), "*.gif");
    // Pages are still followed for their links, but only what matches stays on disk.
    EXPECT_EQ(RunInto("only"), (Files{"logo.gif", "pics/deep.GIF"}));

    // An added entry with the Exclude box checked turns the list round.
    SetFilterInDialog({"*more*"}, true);
    ASSERT_EQ(StoredString(kValueFilter), "*.gif;*more*");
    EXPECT_EQ(RunInto("except"), (Files{"index.html", "photo.jpg"}));

    // Filtering switched off in the panel: everything again.
    dialog.Item<QAbstractButton>(IDC_USE_FILTERS)->click();
    EXPECT_EQ(RunInto("after"), everything);
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

TEST_F(FilterRunTest, TheWindowsNextGoObeysTheFilterSetFromItsPanel)
{
    dialog.show();
    dialog.SetDlgItemText(IDC_URL, QString::fromStdString(server.Url("/site/index.html")));
    const std::string strDestination = test.Destination() + "window/";
    dialog.SetDlgItemText(IDC_DESTINATION, QString::fromStdString(strDestination));
    dialog.CheckDlgButton(IDC_CRAWL, 1);
    dialog.OnCrawlOption();
    dialog.Item<QAbstractButton>(IDC_OPTIONS)->click();
    dialog.Item<QAbstractButton>(IDC_USE_FILTERS)->click();
    SetFilterInDialog({"*photo*"}, false);

    // Go asks before creating the missing destination.
    test.Boxes().ScriptAnswer(MsgAnswer::Yes);
    dialog.Item<QAbstractButton>(IDC_GO)->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.m_bRunning && dialog.m_pJob == nullptr; }, 30000));
    EXPECT_EQ(FilesIn(strDestination), (Files{"photo.jpg"}));
    ASSERT_FALSE(test.Boxes().Texts().empty());
    EXPECT_EQ(test.Boxes().Texts().back(), "Site processed.");
    dialog.reject();
}

} // namespace
