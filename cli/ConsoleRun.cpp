#include "cli/ConsoleRun.h"

#include "app/MainApp.h"
#include "app/SessionLog.h"
#include "app/ShortcutFile.h"
#include "cli/InterruptSignals.h"
#include "cli/PasswordPrompt.h"
#include "cli/ProgressLine.h"
#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"
#include "platform/FileSystem.h"
#include "platform/UrlParts.h"

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

// Creates every missing folder on the way to `folder`, which ends with '/'.
bool CreateFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
    {
        const std::string prefix = folder.substr(0, slash);
        if (!FileSystem::Exists(prefix) && !FileSystem::CreateDirectory(prefix))
            return false;
    }
    return true;
}

} // namespace

CConsoleRun::CConsoleRun(CMainApp& app, const CliOptions& options) : m_app(app), m_options(options) {}

CConsoleRun::~CConsoleRun()
{
    if (m_app.m_pMainDlg == this)
        m_app.m_pMainDlg = nullptr;
}

int CConsoleRun::Run()
{
    if (!ValidateAddress() || !ReadPassword() || !PrepareDestination())
        return kStatusBadInput;

    m_app.m_pMainDlg = this;
    if (!WriteRunRecords())
        return kStatusFailed;

    RunSettings settings;
    if (!ReadSettings(settings))
        return kStatusBadInput;
    m_pWorker = CInternetThread::Create(*m_app.m_pWorkerLock);
    if (m_pWorker == nullptr)
    {
        PrintError("Unable to create internet thread.");
        return kStatusFailed;
    }
    m_pJob = new CCrawlJob(m_app, settings, m_options.strAddress, m_strDestination, m_options.strUserId,
                           m_strPassword, m_options.bCrawl);
    m_pWorker->SetOwner(this);
    m_pWorker->SetJob(m_pJob);
    m_pWorker->PostThreadMessage(TM_RUNJOB);

    const bool bResult = WaitForWorker();
    return Finish(bResult);
}

bool CConsoleRun::ValidateAddress()
{
    const std::optional<UrlParts> parts = UrlParts::Parse(m_options.strAddress);
    if (parts && parts->scheme == "http")
        return true;
    PrintError("can only use addresses beginning with http:// (got \"" + m_options.strAddress + "\")");
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
        if (const char* fromEnvironment = std::getenv("HARVESTLY_PASSWORD"))
            m_strPassword = fromEnvironment;
    }
    return true;
}

bool CConsoleRun::PrepareDestination()
{
    m_strDestination = m_options.strDestination;
    if (m_strDestination.empty())
    {
        PrintError("the destination folder is empty");
        return false;
    }
    if (m_strDestination.back() != '/')
        m_strDestination += '/';

    if (FileSystem::Exists(m_strDestination))
    {
        if (FileSystem::IsDirectory(m_strDestination))
            return true;
        PrintError("destination [" + m_strDestination + "] is not a folder");
        return false;
    }

    if (!m_options.bYes)
    {
        if (!::isatty(STDIN_FILENO))
        {
            PrintError("destination [" + m_strDestination + "] does not exist (use --yes to create it)");
            return false;
        }
        if (!AskToCreate())
            return false;
    }
    if (!CreateFolders(m_strDestination))
    {
        PrintError("Unable to create directory");
        return false;
    }
    return true;
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

// The stored settings with this run's options in their place; the store itself is not changed.
bool CConsoleRun::ReadSettings(RunSettings& settings)
{
    settings = RunSettings::Read(&m_app);
    for (const auto& [name, value] : m_options.settingOverrides)
    {
        if (!settings.Set(name, value))
        {
            PrintError("cannot use " + value + " for " + name);
            return false;
        }
    }
    return true;
}

bool CConsoleRun::WriteRunRecords()
{
    SystemError error;
    if (!CShortcutFile::Write(m_strDestination, m_options.strAddress, m_options.strUserId, m_strPassword,
                              &error))
    {
        PrintError("cannot write " + m_strDestination + CShortcutFile::kFileName + ": " + error.text);
        return false;
    }
    if (!SessionLog::WriteHeader(m_app, m_options.strAddress, m_strDestination))
    {
        PrintError("cannot write the log " + m_strDestination + "error.log");
        return false;
    }
    return true;
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
    InterruptSignals::Install();
    const int nSignalsBefore = InterruptSignals::Count();

    std::unique_lock lock(m_mutex);
    while (!m_result)
    {
        m_done.wait_for(lock, std::chrono::milliseconds(200));
        const int nSignals = InterruptSignals::Count() - nSignalsBefore;
        if (nSignals >= 1 && !m_bUserStop)
        {
            m_bUserStop = true;
            m_pJob->m_bStop = true;
        }
        if (nSignals >= 2 && !m_bClosingRequested)
        {
            m_bClosingRequested = true;
            m_app.m_bClosing = true;
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
        ProgressSnapshot progress;
        progress.strCurrentUrl = m_pJob->GetCurrentUrl();
        progress.nBytesReceived = m_pJob->GetBytesReceived();
        progress.nBytesExpected = m_pJob->GetBytesExpected();
        progress.dRate = m_pJob->GetRate();
        progress.nProcessed = m_pJob->GetProcessedCount();
        progress.nPending = m_pJob->GetPendingCount();
        line = FormatProgressLine(progress, TerminalWidth());
    }
    // Return to the start of the line and clear what the last display left there.
    std::fputs(("\r" + line + "\x1b[K").c_str(), stdout);
    std::fflush(stdout);
}

int CConsoleRun::Finish(bool bResult)
{
    EndWorker();

    // A second Ctrl-C cut the current file short on purpose: report the stop, not a failure.
    const char* outcome = m_bClosingRequested ? SessionLog::OutcomeLine(true, true)
                                              : SessionLog::OutcomeLine(bResult, m_bUserStop);
    m_app.WriteErrorLog(outcome, false);
    std::printf("%s\n", outcome);
    std::fflush(stdout);

    if (m_bClosingRequested)
        return kStatusStopped;
    if (!bResult)
        return kStatusFailed;
    return m_bUserStop ? kStatusStopped : kStatusComplete;
}

void CConsoleRun::EndWorker()
{
    // The worker deletes itself on TM_ENDTHREAD and gives the lock back: taking it is the join.
    m_pWorker->PostThreadMessage(TM_ENDTHREAD);
    m_app.m_pWorkerLock->acquire();
    m_app.m_pWorkerLock->release();
    m_pWorker = nullptr;
    delete m_pJob;
    m_pJob = nullptr;
}
