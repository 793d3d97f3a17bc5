#pragma once

#include "platform/MessageBox.h"

#include <QString>
#include <QTimer>
#include <atomic>
#include <string>

class CMainApp;
class CMainDlg;
class COptionsPanel;
class CProgressDisplay;

// Run control of the main window: Go and Stop, the running state the window enters and leaves,
// the start of a run and the report of its end. It works on the window's run fields (m_bRunning,
// m_bUserStop, m_pJob), which the tray menu and the tear-down read as well.
//
// Threads: everything here runs on the user-interface thread except OnCrawlDone, which the worker
// calls and which hands the rest on with a queued call.
class CRunControl
{
public:
    CRunControl(CMainDlg& dialog, CMainApp& app, COptionsPanel& options, CProgressDisplay& progress);

    // Go starts a run; while one is under way the same button (and the tray's Stop) stops it.
    void OnGo();
    void OnTimer();
    // Called on the worker thread when Run has returned.
    void OnCrawlDone(bool bResult);

    // The window closes and the worker has ended: the job is freed and nothing is shown.
    void EndOnClose();

    // Whether Stop is offered now: a run is under way, Run has not returned, and no stop has
    // been asked for yet.
    bool CanStop() const;

private:
    void Stop();
    void Start();
    // Gives the destination its final separator and makes sure the folder exists.
    bool AcceptDestination(std::string& strDestination);
    void EnterRunningState();
    // Without its shortcut file and log header a run would leave no record, so it does not start.
    bool StartRun();
    // The window goes back to idle when a run could not be started after all.
    void AbandonStart(const QString& strGoCaption);
    void FinishRun(bool bResult);
    void ShowRunningControls();
    void ShowIdleControls(const QString& strGoCaption);
    void EnableRunInputs(bool bEnable);
    void ShowMessage(const std::string& text, MsgButtons buttons, const std::string& caption);

    CMainDlg& m_dialog;
    CMainApp& m_app;
    COptionsPanel& m_options;
    CProgressDisplay& m_progress;
    // Ticks while a run is under way: the progress panel is shown from it.
    QTimer m_progressTimer;
    // Set by the worker once Run has returned: from then on the run is over, whatever the window
    // still shows, and a Stop no longer changes its outcome.
    std::atomic<bool> m_bCrawlReturned{false};
    // The outcome box of the run that has just ended is open: Go neither starts nor stops.
    bool m_bShowingOutcome = false;
};
