// The main window as a person meets it: the keyboard, what the fields show, the end of a run,
// and the accessibility interface that screen readers and test tools drive.
#include "app/AboutDlg.h"
#include "app/MainDlg.h"
#include "crawl/CrawlJob.h"
#include "crawl/CrawlOwner.h"
#include "crawl/InternetThread.h"
#include "support/OptionsFixture.h"
#include "support/TestApp.h"
#include "support/TestHttpServer.h"
#include "support/gui/ModalHelper.h"
#include "support/gui/ShellRecorders.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace
{

class WindowUseTest : public ::testing::Test
{
protected:
    // A body that takes about five seconds: long enough for a test to act during the transfer.
    void ServeTrickle(const std::string& strPath)
    {
        TestResponse slow = TestResponse::Ok(std::string(64 * 1024, 'x'));
        slow.blockBytes = 256;
        slow.blockDelay = std::chrono::milliseconds(20);
        m_server.Serve(strPath, slow);
    }

    // Shows the window with the address and destination typed in and starts a run.
    void StartRun(CMainDlg& dialog, const std::string& strPath)
    {
        dialog.show();
        dialog.SetDlgItemText(IDC_URL, QString::fromStdString(m_server.Url(strPath)));
        dialog.SetDlgItemText(IDC_DESTINATION, QString::fromStdString(m_app.Destination()));
        dialog.Item<QPushButton>(IDC_GO)->click();
        ASSERT_TRUE(dialog.m_bRunning);
    }

    static bool WaitForIdle(CMainDlg& dialog)
    {
        return QTest::qWaitFor([&] { return !dialog.m_bRunning && dialog.m_pJob == nullptr; }, 20000);
    }

    static void DoAction(QWidget* pWidget, const QString& strAction)
    {
        QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pWidget);
        ASSERT_NE(pInterface, nullptr);
        ASSERT_NE(pInterface->actionInterface(), nullptr);
        ASSERT_TRUE(pInterface->actionInterface()->actionNames().contains(strAction))
            << pInterface->actionInterface()->actionNames().join(',').toStdString();
        pInterface->actionInterface()->doAction(strAction);
    }

    static QString AccessibleName(QWidget* pWidget)
    {
        return QAccessible::queryAccessibleInterface(pWidget)->text(QAccessible::Name);
    }

    CTestApp m_app;
    CTrayShellRecorder m_tray;
    CShellLauncherRecorder m_launcher;
    CTestHttpServer m_server;
};

// Stands between the worker and the window, to hold the window's end of the run back until the
// test has acted in the moment after Run returned.
class CReturnWatch : public ICrawlOwner
{
public:
    explicit CReturnWatch(ICrawlOwner& window) : m_window(window) {}
    void OnCrawlDone(bool bResult) override
    {
        m_window.OnCrawlDone(bResult);
        m_bReturned = true;
    }
    ICrawlOwner& m_window;
    std::atomic<bool> m_bReturned{false};
};

} // namespace

TEST_F(WindowUseTest, EscPressesExitOnlyWhileExitIsEnabled)
{
    ServeTrickle("/site/index.html");

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    StartRun(dialog, "/site/index.html");
    ASSERT_FALSE(dialog.GetDlgItem(IDC_EXIT)->isEnabled());

    // During the run Exit is disabled: Esc neither closes the window nor ends the run.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(dialog.GetDlgItem(IDC_GO), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.m_bRunning);
    EXPECT_NE(dialog.m_pJob, nullptr);
    EXPECT_FALSE(m_app.App().IsClosing());

    dialog.Item<QPushButton>(IDC_GO)->click();
    ASSERT_TRUE(WaitForIdle(dialog));
    m_app.Boxes().Clear();

    // Idle, Esc does what Exit does: the typed fields are kept and the window ends with OK.
    dialog.SetDlgItemText(IDC_URL, "http://typed.example/");
    QTest::keyClick(dialog.GetDlgItem(IDC_URL), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_strUrl, "http://typed.example/");
    EXPECT_TRUE(m_app.App().IsClosing());
}

TEST_F(WindowUseTest, ReadOnlyFieldsShowTheStartOfTheirText)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    const QString strLong = QStringLiteral("149000.0 of 204800.0k (72.8%) and a tail long enough to scroll");
    for (int nId : {IDC_CURRENT, IDC_FILE_PROGRESS, IDC_RATE})
    {
        SCOPED_TRACE(nId);
        dialog.ShowItem(nId, true);
        dialog.SetDlgItemText(nId, strLong);
        auto* pEdit = dialog.Item<QLineEdit>(nId);
        EXPECT_EQ(pEdit->text(), strLong);
        EXPECT_EQ(pEdit->cursorPosition(), 0);
        // The text cursor, and with it the visible part, is at the field's left edge.
        EXPECT_LT(pEdit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left(), pEdit->width() / 4);
    }
    // A field the user types into keeps the cursor where typing left it.
    dialog.SetDlgItemText(IDC_URL, strLong);
    EXPECT_EQ(dialog.Item<QLineEdit>(IDC_URL)->cursorPosition(), strLong.size());
    dialog.reject();
}

TEST_F(WindowUseTest, StopTakesTheFocusAwayWithoutSelectingAField)
{
    ServeTrickle("/site/index.html");

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    StartRun(dialog, "/site/index.html");
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* pGo = dialog.GetDlgItem(IDC_GO);
    pGo->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(pGo->hasFocus());

    // The button disables itself: the focus goes with it, and no field's text is selected.
    dialog.Item<QPushButton>(IDC_GO)->click();
    EXPECT_FALSE(pGo->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), nullptr);
    for (QLineEdit* pEdit : dialog.findChildren<QLineEdit*>())
        EXPECT_TRUE(pEdit->selectedText().isEmpty()) << pEdit->objectName().toStdString();
    ASSERT_TRUE(WaitForIdle(dialog));
    dialog.reject();
}

TEST_F(WindowUseTest, StopPressedAfterRunReturnedKeepsTheRunsOwnOutcome)
{
    // The page is answered only once the watch stands between the worker and the window.
    std::atomic<bool> bWatching{false};
    m_server.Serve("/site/index.html",
                   [&](const TestRequest&)
                   {
                       while (!bWatching)
                           std::this_thread::sleep_for(std::chrono::milliseconds(1));
                       return TestResponse::Ok("<html>no links</html>", "text/html");
                   });

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    CReturnWatch watch(dialog);
    dialog.m_strUrl = m_server.Url("/site/index.html");
    dialog.m_strDestination = m_app.Destination();
    dialog.show();
    dialog.Item<QPushButton>(IDC_GO)->click();
    ASSERT_TRUE(dialog.m_bRunning);
    dialog.Worker()->SetOwner(&watch);
    bWatching = true;

    // No events are processed here: the window still shows the run when the worker is done.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!watch.m_bReturned && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(watch.m_bReturned);
    ASSERT_TRUE(dialog.m_bRunning);

    // The tray menu no longer offers Stop, and the button's Stop changes nothing.
    std::unique_ptr<QMenu> pMenu = dialog.CreateTrayMenu();
    ASSERT_NE(pMenu, nullptr);
    bool bStopFound = false;
    for (QAction* pAction : pMenu->actions())
    {
        if (pAction->text() == "(&S)停止")
        {
            bStopFound = true;
            EXPECT_FALSE(pAction->isEnabled());
        }
    }
    EXPECT_TRUE(bStopFound);
    pMenu.reset();
    dialog.Item<QPushButton>(IDC_GO)->click();
    dialog.OnGo();

    ASSERT_TRUE(WaitForIdle(dialog));
    ASSERT_EQ(m_app.Boxes().Count(), 1u);
    EXPECT_EQ(m_app.Boxes().Shown()[0].text, "Site processed.");
    EXPECT_EQ(m_app.Boxes().Shown()[0].caption, "Complete");
    EXPECT_EQ(m_tray.Calls().back().data.strTip, "Site processed successfully.");
    EXPECT_NE(m_app.LogText().find("Site processing complete."), std::string::npos);

    // The next run can be stopped as usual.
    ServeTrickle("/site/big.bin");
    m_app.Boxes().Clear();
    StartRun(dialog, "/site/big.bin");
    dialog.Item<QPushButton>(IDC_GO)->click();
    ASSERT_TRUE(WaitForIdle(dialog));
    ASSERT_EQ(m_app.Boxes().Count(), 1u);
    EXPECT_EQ(m_app.Boxes().Shown()[0].text, "User stop.");
    dialog.reject();
}

TEST_F(WindowUseTest, AccessibilityActionsDoWhatAClickDoes)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();

    // The Options button's toggle opens the panel and reads the store, as a click does.
    DoAction(dialog.GetDlgItem(IDC_OPTIONS), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_OPTIONS), 1);
    EXPECT_TRUE(dialog.GetDlgItem(IDC_CONTINUE_ON_ERROR)->isVisible());
    EXPECT_EQ(StoredDword(kValueRetries), 0u);

    // Toggling a check box stores its value, each way.
    DoAction(dialog.GetDlgItem(IDC_CONTINUE_ON_ERROR), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(StoredDword(kValueContinueOnError), 1u);
    DoAction(dialog.GetDlgItem(IDC_NONAME_AS_INDEX), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(StoredDword(kValueNoNameAsIndex), 1u);
    DoAction(dialog.GetDlgItem(IDC_USE_FILTERS), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(StoredDword(kValueUseFilters), 1u);
    EXPECT_TRUE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());
    DoAction(dialog.GetDlgItem(IDC_CONTINUE_ON_ERROR), QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(StoredDword(kValueContinueOnError), 0u);
    DoAction(dialog.GetDlgItem(IDC_CRAWL), QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(dialog.m_bCrawl);

    // The program setting a check box is no change by the user: nothing is stored.
    dialog.CheckDlgButton(IDC_NONAME_AS_INDEX, 0);
    EXPECT_EQ(StoredDword(kValueNoNameAsIndex), 1u);

    // Toggled back, the panel closes.
    DoAction(dialog.GetDlgItem(IDC_OPTIONS), QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(dialog.GetDlgItem(IDC_CONTINUE_ON_ERROR)->isVisible());

    // A button is announced with the text it shows now.
    dialog.SetDlgItemText(IDC_GO, "&Stop");
    EXPECT_EQ(AccessibleName(dialog.GetDlgItem(IDC_GO)), "Stop");
    dialog.reject();

    // The About box's first label is announced with the version text it shows.
    CAboutDlg about(m_app.App(), m_launcher);
    about.show();
    EXPECT_EQ(AccessibleName(about.GetDlgItem(IDC_VERSION_TEXT)).toStdString(), "Harvestly v1.12建造 90");
    about.reject();
}
