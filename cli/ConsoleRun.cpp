#include "cli/ConsoleRun.h"

#include "cli/InterruptSignals.h"
#include "cli/PasswordPrompt.h"
#include "cli/ProgressLine.h"
#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"
#include "platform/FileSystem.h"
#include "platform/UrlParts.h"
#include "run/MainApp.h"
#include "run/RunPath.h"
#include "run/ShortcutFile.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{

void PrintError(const std::string& text)
{
    std::fprintf(stderr, "harvestly-cli: %s\n", text.c_str());
}

size_t TerminalWidth()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col - 1u;
    return 79;
}

} // namespace

CConsoleRun::CConsoleRun(CMainApp& app, const CliOptions& options) : m_app(app), m_options(options) {}

CConsoleRun::~CConsoleRun()
{
    m_app.ClearFrontEnd(this);
}

int CConsoleRun::Run()
{
    if (!ValidateAddress() || !ReadPassword() || !OpenLinkReport() || !PrepareDestination())
        return kStatusBadInput;

    m_app.SetFrontEnd(this);
    m_pWorker = CInternetThread::Create();
    if (!m_pWorker)
    {
        PrintError("Unable to create internet thread.");
        return kStatusFailed;
    }
    // Ctrl-C is ours before the worker starts: an early one must stop the run, not end the
    // program without its outcome.
    InterruptSignals::Install();
    m_nSignalsBefore = InterruptSignals::Count();
    if (const int nStatus = StartRun(); nStatus != kStatusComplete)
        return nStatus;

    const bool bResult = WaitForWorker();
    return Finish(bResult);
}

// The run's records, its settings with this run's options in their place (the store itself is
// not changed), and the job on the worker.
int CConsoleRun::StartRun()
{
    RunPath::Request request{m_options.strAddress, m_strDestination, m_options.strUserId,
                             m_strPassword,        m_options.bCrawl, m_options.settingOverrides};
    request.bCheckCertificates = !m_options.bNoCheckCertificate;
    request.pLinkReport = m_linkReport.Opened() ? &m_linkReport : nullptr;
    request.strLinkReportPath = m_linkReport.Opened() ? m_linkReport.Path() : std::string();
    RunPath::Started started = RunPath::Start(m_app, *m_pWorker, *this, request);
    switch (started.failure)
    {
    case RunPath::StartFailure::None:
        break;
    case RunPath::StartFailure::LogNotPlainFile:
        PrintError("cannot write the log " + m_strDestination + CMainApp::kLogFileName +
                   ": it is not a plain file (a link, a folder or a FIFO); remove it or choose another "
                   "destination");
        return kStatusBadInput;
    case RunPath::StartFailure::Shortcut:
        PrintError("cannot write " + m_strDestination + CShortcutFile::kFileName + ": " + started.strError);
        return kStatusFailed;
    case RunPath::StartFailure::Header:
        PrintError("cannot write the log " + m_strDestination + CMainApp::kLogFileName);
        return kStatusFailed;
    case RunPath::StartFailure::Setting:
        PrintError(started.strError);
        return kStatusBadInput;
    }
    m_pJob = std::move(started.pJob);
    return kStatusComplete;
}

bool CConsoleRun::ValidateAddress()
{
    const std::optional<UrlParts> parts = UrlParts::Parse(m_options.strAddress);
    if (parts && parts->scheme == "http")
        return true;
    // The store is asked only for an https:// address, so other bad input leaves it untouched.
    if (parts && parts->scheme == "https" && HttpsAllowed())
        return true;
    PrintError("can only use addresses beginning with http:// (https:// with --https) (got \"" +
               m_options.strAddress + "\")");
    return false;
}

bool CConsoleRun::HttpsAllowed()
{
    // --https wins; otherwise the stored value decides, as it will for the run.
    for (const auto& [name, value] : m_options.settingOverrides)
    {
        if (name == kValueAllowHttps)
            return value != "0";
    }
    CRegistryKey key(&m_app);
    std::uint32_t nAllow = 0;
    if (key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
    {
        // Absent leaves it 0: no https.
        (void)key.ReadDword(nAllow, kValueAllowHttps);
        key.Close();
    }
    return nAllow != 0;
}

// Before anything is fetched or written, so that a report that cannot be written costs nothing.
bool CConsoleRun::OpenLinkReport()
{
    if (m_options.strWhyFile.empty())
        return true;
    if (m_linkReport.Open(m_options.strWhyFile))
        return true;
    PrintError("cannot write the link report " + m_options.strWhyFile + ": " + m_linkReport.LastError().text);
    return false;
}

// -p wins; then the terminal when asked for; then the environment, which, unlike the command
// line, other users cannot read in the process list.
bool CConsoleRun::ReadPassword()
{
    m_strPassword = m_options.strPassword;
    if (m_options.bAskPassword)
    {
        const std::string prompt =
            m_options.strUserId.empty() ? "Password: " : "Password for " + m_options.strUserId + ": ";
        const std::optional<std::string> typed = PasswordPrompt::Ask(prompt);
        if (!typed)
        {
            PrintError("no password read (--ask-password reads it from the terminal)");
            return false;
        }
        m_strPassword = *typed;
    }
    else if (!m_options.bPasswordGiven)
    {
        // Read on the main thread before the worker starts; nothing in the program sets it.
        // NOLINTNEXTLINE(concurrency-mt-unsafe)
        if (const char* fromEnvironment = std::getenv("HARVESTLY_PASSWORD"))
            m_strPassword = fromEnvironment;
    }
    return true;
}

bool CConsoleRun::PrepareDestination()
{
    m_strDestination = m_options.strDestination;
    const auto askToCreate = [this]
    {
        if (m_options.bYes)
            return true;
        if (!::isatty(STDIN_FILENO))
        {
            PrintError("destination [" + m_strDestination + "] does not exist (use --yes to create it)");
            return false;
        }
        return AskToCreate();
    };
    switch (RunPath::CheckDestination(m_strDestination, askToCreate))
    {
    case RunPath::Destination::Ready:
        return true;
    case RunPath::Destination::Empty:
        PrintError("the destination folder is empty");
        return false;
    case RunPath::Destination::NotAFolder:
        PrintError("destination [" + m_strDestination + "] is not a folder");
        return false;
    case RunPath::Destination::Declined:
        return false;
    case RunPath::Destination::CannotCreate:
        PrintError("Unable to create directory");
        return false;
    }
    return false;
}

bool CConsoleRun::AskToCreate() const
{
    std::fprintf(stderr, "Destination [%s] does not exist.\nDo you wish to create it? [y/N] ",
                 m_strDestination.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void CConsoleRun::OnCrawlDone(bool bResult)
{
    {
        std::lock_guard lock(m_mutex);
        m_result = bResult;
    }
    m_done.notify_one();
}

bool CConsoleRun::WaitForWorker()
{
    m_bShowProgress = !m_options.bQuiet && ::isatty(STDOUT_FILENO);

    std::unique_lock lock(m_mutex);
    while (!m_result)
    {
        m_done.wait_for(lock, std::chrono::milliseconds(200));
        const int nSignals = InterruptSignals::Count() - m_nSignalsBefore;
        if (nSignals >= 1 && !m_bUserStop)
        {
            m_bUserStop = true;
            m_pJob->m_bStop = true;
        }
        if (nSignals >= 2 && !m_bClosingRequested)
        {
            m_bClosingRequested = true;
            m_app.SetClosing(true);
        }
        if (!m_result && m_bShowProgress)
        {
            lock.unlock();
            ShowProgress(false);
            lock.lock();
        }
    }
    if (m_bShowProgress)
        ShowProgress(true);
    return *m_result;
}

void CConsoleRun::ShowProgress(bool bFinal)
{
    std::string line;
    if (!bFinal)
    {
        line = FormatProgressLine(m_pJob->Progress(), TerminalWidth());
    }
    // Return to the start of the line and clear what the last display left there.
    std::fputs(("\r" + line + "\x1b[K").c_str(), stdout);
    std::fflush(stdout);
}

int CConsoleRun::Finish(bool bResult)
{
    // The one join: the worker has left the job once it has ended.
    m_pWorker->End();
    m_pJob.reset();
    if (m_linkReport.Opened() && !m_linkReport.Close())
        PrintError("the link report " + m_options.strWhyFile +
                   " is incomplete: " + m_linkReport.LastError().text);

    // A second Ctrl-C cut the current file short on purpose: report the stop, not a failure.
    const RunPath::Outcome outcome =
        m_bClosingRequested ? RunPath::Outcome::Stopped : RunPath::OutcomeOf(bResult, m_bUserStop);
    RunPath::LogOutcome(m_app, outcome);
    std::printf("%s\n", RunPath::OutcomeLine(outcome));
    std::fflush(stdout);

    switch (outcome)
    {
    case RunPath::Outcome::Complete:
        return kStatusComplete;
    case RunPath::Outcome::Stopped:
        return kStatusStopped;
    case RunPath::Outcome::Failed:
        break;
    }
    return kStatusFailed;
}
