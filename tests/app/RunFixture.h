#pragma once

#include "app/MainDlg.h"
#include "support/TestApp.h"
#include "support/TestHttpServer.h"
#include "support/gui/ShellRecorders.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

// The controls that a run disables, and the two panels it swaps.
inline constexpr int kRunInputs[] = {1013, 1046, 1005, 1002, 1001, 1008, 1009, 1010};
inline constexpr int kProgressPanel[] = {1015, 1011, 1012, 1016, 1039, 1024, 1023, 1022, 1021, 1025};
inline constexpr int kOptionsPanel[] = {1030, 1027, 1020, 1019, 1033, 1026, 1053, 1052, 1054, 1055, 1056};

// A window with recorded tray and message boxes, a private settings store and a loopback site.
class RunFixture : public ::testing::Test
{
protected:
    // Shows the window and types the address and destination into it, as a user would.
    void Open(CMainDlg& dialog, const std::string& url, const std::string& destination)
    {
        dialog.show();
        dialog.SetDlgItemText(IDC_URL, QString::fromStdString(url));
        dialog.SetDlgItemText(IDC_DESTINATION, QString::fromStdString(destination));
    }

    static void ClickGo(CMainDlg& dialog) { dialog.Item<QPushButton>(IDC_GO)->click(); }

    static bool WaitForIdle(CMainDlg& dialog, int nMilliseconds = 20000)
    {
        return QTest::qWaitFor([&] { return !dialog.m_bRunning && dialog.m_pJob == nullptr; }, nMilliseconds);
    }

    static std::string Text(CMainDlg& dialog, int nId) { return dialog.GetDlgItemText(nId).toStdString(); }
    static int BarPos(CMainDlg& dialog) { return dialog.Item<QProgressBar>(IDC_PROGRESS)->value(); }

    // The tips the tray was given after the icon was added, in order.
    std::vector<std::string> TipsSinceAdd() const
    {
        std::vector<std::string> tips;
        for (const auto& call : m_tray.Calls())
        {
            if (call.command == TrayCommand::Modify && (call.data.uFlags & NIF_TIP) != 0)
                tips.push_back(call.data.strTip);
        }
        return tips;
    }

    // The log's messages without their time stamps.
    std::vector<std::string> LogMessages() const { return LogMessagesOf(m_app.LogText()); }

    static std::vector<std::string> LogMessagesOf(const std::string& text)
    {
        std::vector<std::string> messages;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const size_t separator = line.find(" : ");
            messages.push_back(separator == std::string::npos ? line : line.substr(separator + 3));
        }
        return messages;
    }

    // One failure outcome: its box, tray tip and log line.
    void ExpectFailureReported()
    {
        ASSERT_EQ(m_app.Boxes().Count(), 1u);
        EXPECT_EQ(m_app.Boxes().Shown()[0].text, "Site processing failed.");
        EXPECT_EQ(m_app.Boxes().Shown()[0].caption, "Failure");
        EXPECT_EQ(TipsSinceAdd().back(), "Site processing stopped due to error.");
        EXPECT_EQ(LogMessages().back(), "Site processing failed.");
    }

    static void ExpectIdleWindow(CMainDlg& dialog, const std::string& goCaption)
    {
        EXPECT_FALSE(dialog.m_bRunning);
        EXPECT_EQ(dialog.m_pJob, nullptr);
        EXPECT_EQ(Text(dialog, IDC_GO), goCaption);
        EXPECT_TRUE(dialog.GetDlgItem(IDC_GO)->isEnabled());
        for (int nId : kRunInputs)
            EXPECT_TRUE(dialog.GetDlgItem(nId)->isEnabled()) << nId;
        for (int nId : kProgressPanel)
            EXPECT_FALSE(dialog.GetDlgItem(nId)->isVisible()) << nId;
        EXPECT_TRUE(dialog.GetDlgItem(IDC_OPTIONS)->isVisible());
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_OPTIONS), 0);
        // The link row sits below the Go button again.
        const QRect go = dialog.GetDlgItem(IDC_GO)->geometry();
        EXPECT_EQ(dialog.GetDlgItem(IDC_WEB_LINK_LABEL)->y(), go.top() + go.height());
    }

    static void ExpectRunningWindow(CMainDlg& dialog)
    {
        EXPECT_TRUE(dialog.m_bRunning);
        EXPECT_NE(dialog.m_pJob, nullptr);
        EXPECT_EQ(Text(dialog, IDC_GO), "&Stop");
        EXPECT_TRUE(dialog.GetDlgItem(IDC_GO)->isEnabled());
        for (int nId : kRunInputs)
            EXPECT_FALSE(dialog.GetDlgItem(nId)->isEnabled()) << nId;
        for (int nId : kProgressPanel)
            EXPECT_TRUE(dialog.GetDlgItem(nId)->isVisible()) << nId;
        for (int nId : kOptionsPanel)
            EXPECT_FALSE(dialog.GetDlgItem(nId)->isVisible()) << nId;
        EXPECT_FALSE(dialog.GetDlgItem(IDC_OPTIONS)->isVisible());
        const QRect list = dialog.GetDlgItem(IDC_PENDING_LIST)->geometry();
        EXPECT_EQ(dialog.GetDlgItem(IDC_WEB_LINK_LABEL)->y(), list.top() + list.height());
    }

    // A body that trickles in: `nBlocks` blocks of `nBlockBytes`, `nDelayMs` apart.
    static TestResponse Slow(std::string body, size_t nBlockBytes, int nDelayMs,
                             std::string contentType = "application/octet-stream")
    {
        TestResponse response = TestResponse::Ok(std::move(body), std::move(contentType));
        response.blockBytes = nBlockBytes;
        response.blockDelay = std::chrono::milliseconds(nDelayMs);
        return response;
    }

    CTestApp m_app;
    CTrayShellRecorder m_tray;
    CShellLauncherRecorder m_launcher;
    CTestHttpServer m_server;
};
