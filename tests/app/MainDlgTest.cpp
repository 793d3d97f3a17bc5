#include "app/MainDlg.h"

#include "crawl/CrawlJob.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"
#include "support/TestApp.h"
#include "support/TestHttpServer.h"
#include "support/gui/ModalHelper.h"
#include "support/gui/ShellRecorders.h"
#include "ui/MenuTemplate.h"
#include "ui/MoreOptionsDlg.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace
{

class MainDlgTest : public ::testing::Test
{
protected:
    // Where the link row's captions and labels are, and the window's height.
    void ExpectLinkRowBelow(CMainDlg& dialog, int nReference)
    {
        const QRect reference = dialog.GetDlgItem(nReference)->geometry();
        const int nTop = reference.top() + reference.height();
        for (int nId : {IDC_WEB_LINK_LABEL, IDC_WEB_LINK, IDC_MAIL_LINK_LABEL, IDC_MAIL_LINK})
            EXPECT_EQ(dialog.GetDlgItem(nId)->y(), nTop) << nId;
        const int nLinkHeight = dialog.GetDlgItem(IDC_WEB_LINK_LABEL)->height();
        EXPECT_EQ(nLinkHeight, dialog.Units().ToPixelsY(8));
        EXPECT_EQ(dialog.height(), nTop + nLinkHeight + 10);
    }

    void ClickOptions(CMainDlg& dialog) { dialog.Item<QPushButton>(IDC_OPTIONS)->click(); }

    CTestApp m_app;
    CTrayShellRecorder m_tray;
    CShellLauncherRecorder m_launcher;
};

void WhenPopupAppears(std::function<void(QMenu*)> action, int nTriesLeft = 500)
{
    QTimer::singleShot(10,
                       [action = std::move(action), nTriesLeft]() mutable
                       {
                           if (auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                               action(pMenu);
                           else if (nTriesLeft > 0)
                               WhenPopupAppears(std::move(action), nTriesLeft - 1);
                       });
}

} // namespace

TEST_F(MainDlgTest, InitialisationShowsFieldsTitleAndAddsTheTrayIcon)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.m_strUrl = "http://host/site/";
    dialog.m_strPassword = "secret";
    EXPECT_TRUE(m_tray.Calls().empty());
    dialog.show();

    EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "http://host/site/");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_PASSWORD), "secret");
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Harvestly v1.12建造 90");
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_NE(dialog.Worker(), nullptr);
    EXPECT_EQ(m_app.App().GetFrontEnd(), &dialog);

    const auto calls = m_tray.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].command, TrayCommand::Add);
    EXPECT_EQ(calls[0].data.strTip, "Harvestly v1.12建造 90");
    EXPECT_EQ(calls[0].data.uID, kTrayCallbackMessage);
    EXPECT_EQ(calls[0].data.nIconResource, 150u);

    // Exit stores the controls into the fields.
    dialog.SetDlgItemText(IDC_URL, "http://changed/");
    dialog.Item<QPushButton>(IDC_EXIT)->click();
    EXPECT_EQ(dialog.m_strUrl, "http://changed/");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_tray.Calls().back().command, TrayCommand::Delete);
    EXPECT_EQ(dialog.Worker(), nullptr);
}

TEST_F(MainDlgTest, LinkRowFollowsTheOptionsPanelAndSurvivesMinimiseAndRestore)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    ExpectLinkRowBelow(dialog, IDC_GO);

    ClickOptions(dialog);
    EXPECT_TRUE(dialog.GetDlgItem(IDC_FILECHECK)->isVisible());
    EXPECT_TRUE(dialog.GetDlgItem(IDC_DEPTH)->isVisible());
    EXPECT_FALSE(dialog.GetDlgItem(IDC_PENDING_LIST)->isVisible());
    ExpectLinkRowBelow(dialog, IDC_PENDING_LIST);

    dialog.setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    dialog.setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.GetDlgItem(IDC_FILECHECK)->isVisible());
    ExpectLinkRowBelow(dialog, IDC_PENDING_LIST);

    // A size change while minimised moves nothing; a restore lays the window out afresh from
    // the Options button's state.
    dialog.CheckDlgButton(IDC_OPTIONS, 0);
    dialog.OnSize(SizeType::Minimized, 0, 0);
    ExpectLinkRowBelow(dialog, IDC_PENDING_LIST);
    dialog.OnSize(SizeType::Restored, dialog.width(), dialog.height());
    ExpectLinkRowBelow(dialog, IDC_GO);
    dialog.CheckDlgButton(IDC_OPTIONS, 1);
    dialog.OnSize(SizeType::Restored, dialog.width(), dialog.height());
    ExpectLinkRowBelow(dialog, IDC_PENDING_LIST);

    ClickOptions(dialog);
    EXPECT_FALSE(dialog.GetDlgItem(IDC_FILECHECK)->isVisible());
    ExpectLinkRowBelow(dialog, IDC_GO);
    dialog.reject();
}

TEST_F(MainDlgTest, OptionsOnAFreshProfileCreateTheStoreAndShowDefaults)
{
    const std::string store = CRegistryKey::StorePath(kSettingsKeyPath);
    ASSERT_FALSE(std::filesystem::exists(store));
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    ClickOptions(dialog);

    EXPECT_TRUE(std::filesystem::exists(store));
    EXPECT_EQ(dialog.Item<QComboBox>(IDC_FILECHECK)->currentText(), "Skip Existing");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_RETRIES), "0");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_DEPTH), "0");
    for (int nId : {IDC_CONTINUE_ON_ERROR, IDC_NONAME_AS_INDEX, IDC_USE_FILTERS, IDC_STEALTH})
        EXPECT_EQ(dialog.IsDlgButtonChecked(nId), 0) << nId;
    EXPECT_FALSE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());
    EXPECT_TRUE(m_app.Boxes().Texts().empty());

    // Setting the two texts counts as a change of them, which stores what they show.
    CRegistryKey key;
    ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
    std::uint32_t nRetries = 99;
    std::uint32_t nDepth = 99;
    EXPECT_TRUE(key.ReadDword(nRetries, kValueRetries));
    EXPECT_TRUE(key.ReadDword(nDepth, kValueDepth));
    EXPECT_EQ(nRetries, 0u);
    EXPECT_EQ(nDepth, 0u);
    key.Close();
    dialog.reject();
}

TEST_F(MainDlgTest, OptionsShowWhatIsStoredOnEveryPress)
{
    m_app.StoreDword(kValueFileCheck, 2);
    m_app.StoreDword(kValueRetries, 4);
    m_app.StoreDword(kValueContinueOnError, 1);
    m_app.StoreDword(kValueUseFilters, 1);
    m_app.StoreDword(kValueDepth, 7);
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    ClickOptions(dialog);
    EXPECT_EQ(dialog.Item<QComboBox>(IDC_FILECHECK)->currentIndex(), 2);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_RETRIES), "4");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_DEPTH), "7");
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_CONTINUE_ON_ERROR), 1);
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_USE_FILTERS), 1);
    EXPECT_TRUE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());

    // Read afresh when the panel closes too.
    m_app.StoreDword(kValueUseFilters, 0);
    ClickOptions(dialog);
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_USE_FILTERS), 0);
    EXPECT_FALSE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());
    dialog.reject();
}

TEST_F(MainDlgTest, TrayMenuOffersStopOnlyDuringARunNotYetStopping)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    const auto stateOf = [&](int nId)
    {
        std::unique_ptr<QMenu> pMenu = dialog.CreateTrayMenu();
        QAction* pItem = FindMenuItem(*pMenu, nId);
        return pItem != nullptr && pItem->isEnabled();
    };
    std::unique_ptr<QMenu> pMenu = dialog.CreateTrayMenu();
    ASSERT_NE(pMenu, nullptr);
    EXPECT_EQ(pMenu->title(), "右键单击");
    QStringList texts;
    for (QAction* pAction : pMenu->actions())
        texts << (pAction->isSeparator() ? QString("-") : pAction->text());
    EXPECT_EQ(texts, (QStringList{"(&T)秘密方式", "(&K)跳过", "(&S)停止", "-", "(&A)关于"}));

    EXPECT_FALSE(stateOf(ID_TRAY_STOP));
    EXPECT_FALSE(stateOf(ID_TRAY_SKIP));
    EXPECT_FALSE(stateOf(ID_TRAY_STEALTH));
    EXPECT_TRUE(stateOf(ID_TRAY_ABOUT));

    // A run held by the window (never handed to the worker): the tear-down frees it.
    dialog.m_pJob = std::make_unique<CCrawlJob>(m_app.App(), m_app.Settings(), "http://127.0.0.1:9/",
                                                m_app.Destination(), "", "", false);
    dialog.m_bRunning = true;
    EXPECT_TRUE(stateOf(ID_TRAY_STOP));
    dialog.m_pJob->m_bStop = true;
    EXPECT_FALSE(stateOf(ID_TRAY_STOP));
    EXPECT_FALSE(stateOf(ID_TRAY_SKIP));

    dialog.reject();
    EXPECT_EQ(dialog.m_pJob, nullptr);
}

TEST_F(MainDlgTest, OnlyARightClickOnTheTrayIconOpensTheMenu)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    EXPECT_EQ(dialog.OnTrayNotify(kTrayCallbackMessage, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(dialog.OnTrayNotify(kTrayCallbackMessage, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    QStringList shown;
    WhenPopupAppears(
        [&](QMenu* pMenu)
        {
            for (QAction* pAction : pMenu->actions())
                shown << pAction->text();
            pMenu->close();
        });
    EXPECT_EQ(dialog.OnTrayNotify(kTrayCallbackMessage, WM_RBUTTONDOWN), 0);
    EXPECT_EQ(shown.size(), 5);
    dialog.reject();
}

TEST_F(MainDlgTest, AboutEntryOnTheWindowsMenuOpensTheAboutBox)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    QString entry;
    QString aboutTitle;
    bool bHasParent = true;
    WhenPopupAppears(
        [&](QMenu* pMenu)
        {
            ASSERT_FALSE(pMenu->actions().empty());
            entry = pMenu->actions().front()->text();
            WhenModalAppears(
                [&](QWidget* pModal)
                {
                    aboutTitle = pModal->windowTitle();
                    bHasParent = pModal->parentWidget() != nullptr;
                    qobject_cast<QDialog*>(pModal)->reject();
                });
            pMenu->setActiveAction(pMenu->actions().front());
            QTest::keyClick(pMenu, Qt::Key_Return);
        });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dialog.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dialog, &event);
    EXPECT_EQ(entry, "(&A)关于 Harvestly...");
    EXPECT_EQ(aboutTitle, "关于 Harvestly");
    // The About box is a window of its own, created without a parent.
    EXPECT_FALSE(bHasParent);

    // The system command's low four bits are not part of it.
    aboutTitle.clear();
    WhenModalAppears(
        [&](QWidget* pModal)
        {
            aboutTitle = pModal->windowTitle();
            qobject_cast<QDialog*>(pModal)->reject();
        });
    dialog.OnSysCommand(IDM_ABOUTBOX | 0x3);
    EXPECT_EQ(aboutTitle, "关于 Harvestly");
    dialog.reject();
}

TEST_F(MainDlgTest, TheWindowsMenuOpensTheDialogOfFurtherValuesExceptDuringARun)
{
    {
        CRegistryKey key;
        ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath));
        key.WriteDword(1, kValueConvertLinks);
    }
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    const auto openMenu = [&](std::function<void(QMenu*)> action)
    {
        WhenPopupAppears(std::move(action));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dialog.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&dialog, &event);
    };
    const auto moreOptions = [](QMenu* pMenu) -> QAction*
    {
        for (QAction* pAction : pMenu->actions())
        {
            if (pAction->text() == "(&P)更多选项...")
                return pAction;
        }
        return nullptr;
    };

    bool bShownChecked = false;
    openMenu(
        [&](QMenu* pMenu)
        {
            QAction* pMore = moreOptions(pMenu);
            ASSERT_NE(pMore, nullptr);
            EXPECT_TRUE(pMore->isEnabled());
            for (QAction* pAction : pMenu->actions())
                EXPECT_FALSE(pAction->isCheckable()) << "the switches live in the dialog now";
            WhenModalAppears(
                [&](QWidget* pModal)
                {
                    auto* pOptions = qobject_cast<CMoreOptionsDlg*>(pModal);
                    ASSERT_NE(pOptions, nullptr);
                    bShownChecked = pOptions->IsDlgButtonChecked(IDC_MORE_CONVERT_LINKS) == 1;
                    pOptions->reject();
                });
            pMenu->setActiveAction(pMore);
            QTest::keyClick(pMenu, Qt::Key_Return);
        });
    EXPECT_TRUE(bShownChecked) << "the dialog opened with the stored values";

    dialog.m_bRunning = true;
    bool bEnabledDuringRun = true;
    openMenu(
        [&](QMenu* pMenu)
        {
            QAction* pMore = moreOptions(pMenu);
            ASSERT_NE(pMore, nullptr);
            bEnabledDuringRun = pMore->isEnabled();
            pMenu->close();
        });
    EXPECT_FALSE(bEnabledDuringRun);
    dialog.m_bRunning = false;
    dialog.reject();
}

TEST_F(MainDlgTest, ClosingDuringARunEndsTheWorkerAndFreesTheJobWithoutAnOutcome)
{
    // A page that trickles in for far longer than the test: only the closing flag ends it.
    CTestHttpServer server;
    TestResponse slow = TestResponse::Ok(std::string(64 * 1024, 'x'));
    slow.blockBytes = 256;
    slow.blockDelay = std::chrono::milliseconds(50);
    server.Serve("/site/index.html", slow);

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.m_strUrl = server.Url("/site/index.html");
    dialog.m_strDestination = m_app.Destination();
    dialog.show();
    dialog.Item<QPushButton>(IDC_GO)->click();
    ASSERT_TRUE(dialog.m_bRunning);
    ASSERT_NE(dialog.m_pJob, nullptr);
    ASSERT_TRUE(server.WaitForRequest("/site/index.html"));
    m_app.Boxes().Clear();

    dialog.reject();
    EXPECT_EQ(dialog.m_pJob, nullptr);
    EXPECT_TRUE(m_app.App().IsClosing());
    // The worker is gone.
    EXPECT_EQ(dialog.Worker(), nullptr);
    // The end-of-run call that the worker made on its way out changes nothing.
    QApplication::processEvents();
    EXPECT_TRUE(m_app.Boxes().Texts().empty());
    EXPECT_EQ(m_tray.Calls().back().command, TrayCommand::Delete);
}

TEST_F(MainDlgTest, ClosingDuringARunWithSeveralTransfersCutsThemAtOnceAndLeavesNothingPartial)
{
    // Three pages that trickle in for far longer than the test, all under way at once.
    CTestHttpServer server;
    TestResponse slow = TestResponse::Ok(std::string(64 * 1024, 'x'));
    slow.blockBytes = 256;
    slow.blockDelay = std::chrono::milliseconds(50);
    for (const char* name : {"/site/a.html", "/site/b.html", "/site/c.html"})
        server.Serve(name, slow);
    server.Serve("/site/index.html",
                 TestResponse::Ok("<a href=a.html>a</a><a href=b.html>b</a><a href=c.html>c</a>"));
    m_app.StoreDword(kValueConnections, 3);

    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.m_strUrl = server.Url("/site/index.html");
    dialog.m_strDestination = m_app.Destination();
    dialog.show();
    dialog.Item<QPushButton>(IDC_GO)->click();
    for (const char* name : {"/site/a.html", "/site/b.html", "/site/c.html"})
        ASSERT_TRUE(server.WaitForRequest(name, 1, std::chrono::seconds(20))) << name;

    const auto start = std::chrono::steady_clock::now();
    dialog.reject();
    // The bodies would take another ten seconds; a close that waited for them would show here.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(dialog.m_pJob, nullptr);
    EXPECT_EQ(dialog.Worker(), nullptr);
    std::set<std::string> expected{"index.html"};
    EXPECT_EQ(FilesIn(m_app.Destination()), expected) << "no partial file and no cut body is left";
    QApplication::processEvents();
}
