#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"

// Run control completes this: the prompt, the running state of the controls, the shortcut file
// and the log header.
void CMainDlg::OnGo()
{
    UpdateData(true);
    if (m_bRunning)
    {
        if (m_pJob != nullptr)
            m_pJob->m_bStop = true;
        m_bUserStop = true;
        return;
    }
    if (Worker() == nullptr)
        return;
    m_bRunning = true;
    m_bUserStop = false;
    SetTimer(ID_PROGRESS_TIMER, kProgressInterval);
    m_pJob = new CCrawlJob(m_strUrl, m_strDestination, m_strUserId, m_strPassword, m_bCrawl);
    Worker()->SetOwner(this);
    Worker()->SetJob(m_pJob);
    Worker()->PostThreadMessage(TM_RUNJOB);
    UpdateLayout(true);
}

// Run control completes this: the progress texts and the bar.
void CMainDlg::OnTimer(unsigned) {}

void CMainDlg::OnCrawlDone(bool bResult)
{
    // The tear-down frees the job once the worker has ended.
    if (CMainApp::Instance()->m_bClosing)
        return;
    // Widgets belong to the user-interface thread, and the worker must never wait for it.
    QMetaObject::invokeMethod(
        this, [this, bResult] { FinishRun(bResult); }, Qt::QueuedConnection);
}

// Run control completes this: the outcome in the tray tip, a message box and the log.
void CMainDlg::FinishRun(bool)
{
    if (CMainApp::Instance()->m_bClosing)
        return;
    m_bRunning = false;
    KillTimer(ID_PROGRESS_TIMER);
    TrayIcon().StopAnimation();
    UpdateLayout(false);
    // Run has returned and the timer is stopped: nothing reads the job any more.
    delete m_pJob;
    m_pJob = nullptr;
}
