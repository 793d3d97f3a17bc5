#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "app/RunPath.h"
#include "app/ShortcutFile.h"
#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"
#include "crawl/PageFetcher.h"

#include <QListWidget>
#include <QProgressBar>
#include <algorithm>
#include <cstdio>

namespace
{

// Disabled while a run is in progress.
constexpr int kRunInputs[] = {IDC_BROWSE_DESTINATION, IDC_OPEN_SHORTCUT, IDC_EXIT,
                              IDC_DESTINATION,        IDC_URL,           IDC_USERID,
                              IDC_PASSWORD,           IDC_CRAWL};

constexpr int kProgressPanel[] = {IDC_PROGRESS,  IDC_CURRENT,       IDC_CURRENT_LABEL,   IDC_FILE_PROGRESS,
                                  IDC_RATE,      IDC_PENDING_LABEL, IDC_PROCESSED_LABEL, IDC_PENDING,
                                  IDC_PROCESSED, IDC_PENDING_LIST};

constexpr int kOptionsPanel[] = {
    IDC_NONAME_AS_INDEX, IDC_CONTINUE_ON_ERROR, IDC_FILECHECK,   IDC_FILECHECK_LABEL,
    IDC_RETRIES_LABEL,   IDC_RETRIES,           IDC_USE_FILTERS, IDC_FILTER,
    IDC_STEALTH,         IDC_DEPTH_LABEL,       IDC_DEPTH};

struct OutcomeTexts
{
    const char* tip;
    const char* text;
    const char* caption;
};

OutcomeTexts TextsOf(RunPath::Outcome outcome)
{
    switch (outcome)
    {
    case RunPath::Outcome::Failed:
        return {"Site processing stopped due to error.", "Site processing failed.", "Failure"};
    case RunPath::Outcome::Stopped:
        return {"User stopped processing.", "User stop.", "Stopped"};
    case RunPath::Outcome::Complete:
        break;
    }
    return {"Site processed successfully.", "Site processed.", "Complete"};
}

QString ToQ(const std::string& text)
{
    return QString::fromStdString(text);
}

void SetProgressPos(CMainDlg& dialog, int nPercent)
{
    // A progress bar clamps its position to its range; a server that sends more than it announced
    // must not leave the bar behind.
    dialog.Item<QProgressBar>(IDC_PROGRESS)->setValue(std::clamp(nPercent, 0, 100));
}

template <size_t N>
void ShowItems(CMainDlg& dialog, const int (&ids)[N], bool bShow)
{
    for (int nId : ids)
        dialog.ShowItem(nId, bShow);
}

void EnableRunInputs(CMainDlg& dialog, bool bEnable)
{
    for (int nId : kRunInputs)
        dialog.EnableItem(nId, bEnable);
}

void ShowRunningControls(CMainDlg& dialog)
{
    dialog.ShowItem(IDC_OPTIONS, false);
    dialog.CheckDlgButton(IDC_OPTIONS, 0);
    EnableRunInputs(dialog, false);
    dialog.SetDlgItemText(IDC_GO, "&Stop");
    dialog.SetDlgItemText(IDC_CURRENT, {});
    dialog.SetDlgItemText(IDC_FILE_PROGRESS, {});
    auto* pProgress = dialog.Item<QProgressBar>(IDC_PROGRESS);
    pProgress->setRange(0, 100);
    pProgress->setValue(0);
    ShowItems(dialog, kProgressPanel, true);
    ShowItems(dialog, kOptionsPanel, false);
}

void ShowIdleControls(CMainDlg& dialog, const QString& strGoCaption)
{
    dialog.UpdateLayout(false);
    dialog.update();
    ShowItems(dialog, kProgressPanel, false);
    dialog.ShowItem(IDC_OPTIONS, true);
    EnableRunInputs(dialog, true);
    dialog.SetDlgItemText(IDC_GO, strGoCaption);
    dialog.EnableItem(IDC_GO, true);
}

// The emptied display of a new address or of no run at all.
void ClearProgressTexts(CMainDlg& dialog, bool bCurrentToo)
{
    SetProgressPos(dialog, 0);
    dialog.SetDlgItemText(IDC_FILE_PROGRESS, {});
    // The text shown is empty now: the next progress text must be written even if it equals the
    // last one (two files of the same size).
    dialog.m_strLastProgress.clear();
    dialog.SetDlgItemText(IDC_RATE, {});
    if (bCurrentToo)
        dialog.SetDlgItemText(IDC_CURRENT, {});
}

void ShowPendingLines(CMainDlg& dialog, const CCrawlJob& job)
{
    if (job.GetPendingSerial() == dialog.m_nLastPendingSerial)
        return;
    const CUrlQueue::Shown shown = job.GetPendingLines();
    auto* pList = dialog.Item<QListWidget>(IDC_PENDING_LIST);
    pList->clear();
    for (const std::string& line : shown.lines)
        pList->addItem(ToQ(line));
    dialog.m_nLastPendingSerial = shown.serial;
}

bool AskToCreate(const std::string& strDestination)
{
    const std::string prompt =
        "Destination [" + strDestination + "] does not exist.\nDo you wish to create it?";
    return ShowMessageBox(prompt, MsgButtons::YesNo, MsgIcon::Question, "Create directory") == MsgAnswer::Yes;
}

// Gives the destination its final separator and makes sure the folder exists.
bool AcceptDestination(std::string& strDestination)
{
    switch (RunPath::CheckDestination(strDestination, [&] { return AskToCreate(strDestination); }))
    {
    case RunPath::Destination::Ready:
        return true;
    case RunPath::Destination::Empty:
        ShowMessageBox("Please enter a destination folder.", MsgButtons::Ok, MsgIcon::Exclamation);
        return false;
    case RunPath::Destination::Declined:
        return false;
    case RunPath::Destination::NotAFolder:
    case RunPath::Destination::CannotCreate:
        ShowMessageBox("Unable to create directory", MsgButtons::Ok, MsgIcon::None, "Error!");
        return false;
    }
    return false;
}

void EnterRunningState(CMainDlg& dialog)
{
    if (!dialog.SetTimer(ID_PROGRESS_TIMER, kProgressInterval))
        ShowMessageBox("cannot install timer!");
    dialog.m_bUserStop = false;
    dialog.m_bCrawlReturned = false;
    dialog.TrayIcon().SetTipText("Harvestly is working.");
    dialog.TrayIcon().StartAnimation();
    ShowRunningControls(dialog);
    dialog.m_bRunning = true;
}

// Without its shortcut file and log header a run would leave no record, so it does not start.
bool StartRun(CMainDlg& dialog, CMainApp& app)
{
    const RunPath::Request request{dialog.m_strUrl,      dialog.m_strDestination, dialog.m_strUserId,
                                   dialog.m_strPassword, dialog.m_bCrawl,         {}};
    RunPath::Started started = RunPath::Start(app, *dialog.Worker(), dialog, request);
    if (started.failure == RunPath::StartFailure::Shortcut)
        ShowMessageBox("Unable to write [" + dialog.m_strDestination + CShortcutFile::kFileName + "].",
                       MsgButtons::Ok, MsgIcon::None, "Error!");
    // The log writer has told the user itself when a header line could not be written.
    dialog.m_pJob = std::move(started.pJob);
    return dialog.m_pJob != nullptr;
}

// The window goes back to idle when a run could not be started after all.
void AbandonStart(CMainDlg& dialog, CMainApp& app, const QString& strGoCaption)
{
    dialog.m_bRunning = false;
    dialog.KillTimer(ID_PROGRESS_TIMER);
    dialog.TrayIcon().StopAnimation();
    dialog.TrayIcon().SetTipText(app.GetVersionText());
    ShowIdleControls(dialog, strGoCaption);
}

void ResetProgressMemory(CMainDlg& dialog)
{
    dialog.m_nLastPending = 0;
    dialog.m_nLastProcessed = 0;
    dialog.m_strLastCurrent.clear();
    dialog.m_strLastProgress.clear();
    dialog.m_dLastRate = 0;
    dialog.m_nLastPendingSerial = 0;
    // The counts of an earlier run would otherwise stay until the new run's counts differ from 0.
    dialog.SetDlgItemText(IDC_PENDING, "0");
    dialog.SetDlgItemText(IDC_PROCESSED, "0");
    dialog.Item<QListWidget>(IDC_PENDING_LIST)->clear();
}

} // namespace

void CMainDlg::OnGo()
{
    // While a run is active the button reads "&Stop": it stops at once, whatever has become of the
    // destination folder meanwhile.
    if (m_bRunning)
    {
        // The worker has returned from Run: the outcome is settled and only waits to be shown.
        if (m_bCrawlReturned)
            return;
        if (m_pJob != nullptr)
            m_pJob->m_bStop = true;
        EnableItem(IDC_GO, false);
        m_bUserStop = true;
        return;
    }
    if (Worker() == nullptr)
    {
        ShowMessageBox("Unable to create internet thread.");
        return;
    }

    UpdateData(true);
    if (!AcceptDestination(m_strDestination))
        return;

    const QString strIdleCaption = GetDlgItemText(IDC_GO);
    EnterRunningState(*this);
    ResetProgressMemory(*this);
    if (!StartRun(*this, *m_pApp))
    {
        AbandonStart(*this, *m_pApp, strIdleCaption);
        return;
    }
    UpdateLayout(true);
}

void CMainDlg::OnTimer(unsigned)
{
    if (!m_bRunning || m_pJob == nullptr)
    {
        ClearProgressTexts(*this, true);
        m_strLastCurrent.clear();
        return;
    }

    char text[512];
    const double dRate = m_pJob->GetRate();
    if (dRate != m_dLastRate)
    {
        m_dLastRate = dRate;
        std::snprintf(text, sizeof text, "%3.2f KBps", dRate * 0.001);
        SetDlgItemText(IDC_RATE, text);
    }

    long nCount = m_pJob->GetPendingCount();
    if (nCount != m_nLastPending)
    {
        m_nLastPending = nCount;
        std::snprintf(text, sizeof text, "%ld", nCount);
        SetDlgItemText(IDC_PENDING, text);
    }
    nCount = m_pJob->GetProcessedCount();
    if (nCount != m_nLastProcessed)
    {
        m_nLastProcessed = nCount;
        std::snprintf(text, sizeof text, "%ld", nCount);
        SetDlgItemText(IDC_PROCESSED, text);
    }

    const std::string strCurrent = m_pJob->GetCurrentUrl();
    if (strCurrent != m_strLastCurrent)
    {
        m_strLastCurrent = strCurrent;
        ClearProgressTexts(*this, false);
        SetDlgItemText(IDC_CURRENT, ToQ(strCurrent));
    }
    else
    {
        m_strProgress.clear();
        m_nPercent = 0;
        const long long nExpected = m_pJob->GetBytesExpected();
        if (nExpected != 0)
        {
            const long long nReceived = m_pJob->GetBytesReceived();
            std::snprintf(text, sizeof text, "%.1f of %.1fk (%.1f%%)", double(nReceived) / 1024,
                          double(nExpected) / 1024, 100.0 * double(nReceived) / double(nExpected));
            m_strProgress = text;
            // 64 bits: a 32-bit product overflows above 21,474,836 bytes.
            m_nPercent = int(std::clamp(100 * nReceived / nExpected, 0LL, 100LL));
        }
        if (m_strProgress != m_strLastProgress)
        {
            SetProgressPos(*this, m_nPercent);
            SetDlgItemText(IDC_FILE_PROGRESS, ToQ(m_strProgress));
            m_strLastProgress = m_strProgress;
        }
    }
    ShowPendingLines(*this, *m_pJob);
}

void CMainDlg::OnCrawlDone(bool bResult)
{
    m_bCrawlReturned = true;
    // The tear-down frees the job once the worker has ended.
    if (CMainApp::Instance()->m_bClosing)
        return;
    // Widgets belong to the user-interface thread, and the worker must never wait for it.
    QMetaObject::invokeMethod(
        this, [this, bResult] { FinishRun(bResult); }, Qt::QueuedConnection);
}

void CMainDlg::FinishRun(bool bResult)
{
    if (CMainApp::Instance()->m_bClosing)
        return;
    m_bRunning = false;
    KillTimer(ID_PROGRESS_TIMER);
    TrayIcon().StopAnimation();

    const RunPath::Outcome outcome = RunPath::OutcomeOf(bResult, m_bUserStop);
    const OutcomeTexts texts = TextsOf(outcome);
    TrayIcon().SetTipText(texts.tip);
    ShowMessageBox(texts.text, MsgButtons::Ok, MsgIcon::None, texts.caption);
    RunPath::LogOutcome(*m_pApp, outcome);

    ShowIdleControls(*this, "&Go");
    // Run has returned and the timer is stopped: nothing reads the job any more.
    m_pJob.reset();
}
