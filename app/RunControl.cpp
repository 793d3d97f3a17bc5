#include "app/RunControl.h"

#include "app/MainDlg.h"
#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"
#include "run/MainApp.h"
#include "run/RunPath.h"
#include "run/ShortcutFile.h"

namespace
{

// Disabled while a run is in progress.
constexpr int kRunInputs[] = {IDC_BROWSE_DESTINATION, IDC_OPEN_SHORTCUT, IDC_EXIT,
                              IDC_DESTINATION,        IDC_URL,           IDC_USERID,
                              IDC_PASSWORD,           IDC_CRAWL};

constexpr int kProgressPanel[] = {IDC_PROGRESS,  IDC_CURRENT,       IDC_CURRENT_LABEL,   IDC_FILE_PROGRESS,
                                  IDC_RATE,      IDC_PENDING_LABEL, IDC_PROCESSED_LABEL, IDC_PENDING,
                                  IDC_PROCESSED, IDC_PENDING_LIST};

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

} // namespace

CRunControl::CRunControl(CMainDlg& dialog, CMainApp& app, COptionsPanel& options, CProgressDisplay& progress)
    : m_dialog(dialog), m_app(app), m_options(options), m_progress(progress)
{
    m_progressTimer.setInterval(static_cast<int>(kProgressInterval));
    QObject::connect(&m_progressTimer, &QTimer::timeout, &m_dialog,
                     [this] { m_dialog.OnTimer(ID_PROGRESS_TIMER); });
}

void CRunControl::EndOnClose()
{
    m_progressTimer.stop();
    m_dialog.m_pJob.reset();
    m_dialog.m_bRunning = false;
}

void CRunControl::ShowMessage(const std::string& text, MsgButtons buttons, const std::string& caption)
{
    (void)m_app.MessageBox(text, buttons, MsgIcon::None, caption);
}

bool CRunControl::CanStop() const
{
    return m_dialog.m_bRunning && !m_bCrawlReturned && !m_bShowingOutcome && m_dialog.m_pJob != nullptr &&
           !m_dialog.m_pJob->m_bStop;
}

void CRunControl::OnGo()
{
    // Pressed while the last run's outcome is still being shown (a screen reader can press a
    // button that a box covers): that run is over and the next waits for the box.
    if (m_bShowingOutcome)
        return;
    // While a run is active the button reads "&Stop": it stops at once, whatever has become of the
    // destination folder meanwhile.
    if (m_dialog.m_bRunning)
        Stop();
    else
        Start();
}

void CRunControl::Stop()
{
    // Once the worker has returned from Run the outcome is settled and only waits to be shown.
    if (!CanStop())
        return;
    m_dialog.m_pJob->m_bStop = true;
    m_dialog.EnableItem(IDC_GO, false);
    m_dialog.m_bUserStop = true;
}

void CRunControl::Start()
{
    if (m_dialog.Worker() == nullptr)
    {
        ShowMessage("Unable to create internet thread.", MsgButtons::Ok, {});
        return;
    }

    m_dialog.UpdateData(true);
    if (!AcceptDestination(m_dialog.m_strDestination))
        return;

    const QString strIdleCaption = m_dialog.GetDlgItemText(IDC_GO);
    EnterRunningState();
    m_progress.Reset();
    if (!StartRun())
    {
        AbandonStart(strIdleCaption);
        return;
    }
    m_dialog.UpdateLayout(true);
}

bool CRunControl::AcceptDestination(std::string& strDestination)
{
    const auto askToCreate = [&]
    {
        const std::string prompt =
            "Destination [" + strDestination + "] does not exist.\nDo you wish to create it?";
        return m_app.MessageBox(prompt, MsgButtons::YesNo, MsgIcon::Question, "Create directory") ==
               MsgAnswer::Yes;
    };
    switch (RunPath::CheckDestination(strDestination, askToCreate))
    {
    case RunPath::Destination::Ready:
        return true;
    case RunPath::Destination::Empty:
        (void)m_app.MessageBox("Please enter a destination folder.", MsgButtons::Ok, MsgIcon::Exclamation,
                               {});
        return false;
    case RunPath::Destination::Declined:
        return false;
    case RunPath::Destination::NotAFolder:
        ShowMessage("Destination [" + strDestination + "] is a file, not a folder.", MsgButtons::Ok,
                    "Error!");
        return false;
    case RunPath::Destination::CannotCreate:
        ShowMessage("Unable to create directory", MsgButtons::Ok, "Error!");
        return false;
    }
    return false;
}

void CRunControl::EnterRunningState()
{
    m_progressTimer.start();
    if (!m_progressTimer.isActive())
        ShowMessage("cannot install timer!", MsgButtons::Ok, {});
    m_dialog.m_bUserStop = false;
    m_bCrawlReturned = false;
    m_dialog.TrayIcon().SetTipText("Harvestly is working.");
    m_dialog.TrayIcon().StartAnimation();
    ShowRunningControls();
    m_dialog.m_bRunning = true;
}

bool CRunControl::StartRun()
{
    const RunPath::Request request{m_dialog.m_strUrl,      m_dialog.m_strDestination, m_dialog.m_strUserId,
                                   m_dialog.m_strPassword, m_dialog.m_bCrawl,         {}};
    RunPath::Started started = RunPath::Start(m_app, *m_dialog.Worker(), m_dialog, request);
    if (started.failure == RunPath::StartFailure::LogNotPlainFile)
        ShowMessage("[" + m_dialog.m_strDestination + CMainApp::kLogFileName +
                        "] is not a plain file (a link, a folder or a FIFO).\nRemove it or choose another "
                        "destination folder.",
                    MsgButtons::Ok, "Error!");
    if (started.failure == RunPath::StartFailure::Shortcut)
        ShowMessage("Unable to write [" + m_dialog.m_strDestination + CShortcutFile::kFileName + "].",
                    MsgButtons::Ok, "Error!");
    // The log writer has told the user itself when a header line could not be written.
    m_dialog.m_pJob = std::move(started.pJob);
    return m_dialog.m_pJob != nullptr;
}

void CRunControl::AbandonStart(const QString& strGoCaption)
{
    m_dialog.m_bRunning = false;
    m_progressTimer.stop();
    m_dialog.TrayIcon().StopAnimation();
    m_dialog.TrayIcon().SetTipText(m_app.GetVersionText());
    ShowIdleControls(strGoCaption);
}

void CRunControl::ShowRunningControls()
{
    m_dialog.ShowItem(IDC_OPTIONS, false);
    m_dialog.CheckDlgButton(IDC_OPTIONS, 0);
    EnableRunInputs(false);
    m_dialog.SetDlgItemText(IDC_GO, "&Stop");
    for (int nId : kProgressPanel)
        m_dialog.ShowItem(nId, true);
    m_options.Show(false);
}

void CRunControl::ShowIdleControls(const QString& strGoCaption)
{
    m_dialog.UpdateLayout(false);
    m_dialog.update();
    for (int nId : kProgressPanel)
        m_dialog.ShowItem(nId, false);
    m_dialog.ShowItem(IDC_OPTIONS, true);
    EnableRunInputs(true);
    m_dialog.SetDlgItemText(IDC_GO, strGoCaption);
    m_dialog.EnableItem(IDC_GO, true);
}

void CRunControl::EnableRunInputs(bool bEnable)
{
    for (int nId : kRunInputs)
        m_dialog.EnableItem(nId, bEnable);
}

void CRunControl::OnTimer()
{
    if (!m_dialog.m_bRunning || m_dialog.m_pJob == nullptr)
        m_progress.ShowNoRun();
    else
        m_progress.Show(m_dialog.m_pJob->Progress());
}

void CRunControl::OnCrawlDone(bool bResult)
{
    m_bCrawlReturned = true;
    // The tear-down frees the job once the worker has ended.
    if (m_app.IsClosing())
        return;
    // Widgets belong to the user-interface thread, and the worker must never wait for it. The
    // window is the call's context: a call still queued when it goes is dropped with it.
    QMetaObject::invokeMethod(
        &m_dialog, [this, bResult] { FinishRun(bResult); }, Qt::QueuedConnection);
}

void CRunControl::FinishRun(bool bResult)
{
    if (m_app.IsClosing())
        return;
    m_dialog.m_bRunning = false;
    m_progressTimer.stop();
    // Run has returned and the timer is stopped: nothing reads the job any more.
    m_dialog.m_pJob.reset();
    m_dialog.TrayIcon().StopAnimation();

    const RunPath::Outcome outcome = RunPath::OutcomeOf(bResult, m_dialog.m_bUserStop);
    const OutcomeTexts texts = TextsOf(outcome);
    m_dialog.TrayIcon().SetTipText(texts.tip);
    // The log is whole before anyone is asked anything: a box never answered loses no line.
    RunPath::LogOutcome(m_app, outcome);

    // The window is idle behind the box, but Go waits for it to be answered.
    ShowIdleControls("&Go");
    m_dialog.EnableItem(IDC_GO, false);
    m_bShowingOutcome = true;
    ShowMessage(texts.text, MsgButtons::Ok, texts.caption);
    m_bShowingOutcome = false;
    m_dialog.EnableItem(IDC_GO, true);
}
