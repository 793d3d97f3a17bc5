#include "run/MainApp.h"

#include "platform/ConsoleMessagePresenter.h"
#include "platform/LocalFile.h"
#include "platform/TimeFormat.h"
#include "res/StringTable.h"
#include "run/FrontEnd.h"

#include <cstdio>

namespace
{

IMessagePresenter& ConsolePresenter()
{
    static CConsoleMessagePresenter presenter;
    return presenter;
}

std::string FormatVersion(const std::string& format, long build)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format.c_str(), build);
    return buffer;
}

} // namespace

CMainApp::CMainApp(std::string strAppName) : m_strAppName(std::move(strAppName)) {}

CMainApp::~CMainApp()
{
    Shutdown();
}

void CMainApp::ClearFrontEnd(IFrontEnd* pFrontEnd)
{
    m_pMainDlg.compare_exchange_strong(pFrontEnd, nullptr);
}

std::string CMainApp::GetLogPath() const
{
    std::lock_guard lock(m_logMutex);
    return m_strLogPath;
}

bool CMainApp::Initialize()
{
    if (!m_network.Startup())
    {
        MessageBox(LoadResString(IDS_SOCKETS_FAILED), MsgButtons::Ok, MsgIcon::None, {});
        return false;
    }
    m_strVersion = FormatVersion(LoadResString(IDS_VERSION), kBuildNumber);
    return true;
}

void CMainApp::Shutdown()
{
    m_network.Cleanup();
}

void CMainApp::SetMessagePresenter(IMessagePresenter* pPresenter)
{
    m_pPresenter.store(pPresenter);
}

MsgAnswer CMainApp::MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                               const std::string& caption)
{
    const MessageRequest request{text, caption.empty() ? m_strAppName : caption, buttons, icon};
    IMessagePresenter* pPresenter = m_pPresenter.load();
    return (pPresenter != nullptr ? *pPresenter : ConsolePresenter()).Present(request);
}

bool CMainApp::WriteErrorLog(const std::string& strMessage, bool bNewLog)
{
    const std::string line = TimeFormat::LocalNow("%m/%d/%Y %H:%M:%S") + " : " + strMessage + "\n";

    // Entries from both threads go through here; one lock per entry keeps lines whole. The lock
    // is released before any message box, so a thread answering one never waits on the log.
    const char* failure = nullptr;
    {
        std::lock_guard lock(m_logMutex);
        if (bNewLog)
            m_strLogPath.clear();

        CLocalFile file;
        bool opened;
        if (m_strLogPath.empty())
        {
            const IFrontEnd* pFrontEnd = m_pMainDlg.load();
            m_strLogPath =
                (pFrontEnd != nullptr ? pFrontEnd->GetDestination() : std::string()) + kLogFileName;
            opened = file.Open(m_strLogPath, CLocalFile::Mode::CreateTruncate);
        }
        else
        {
            opened = file.Open(m_strLogPath, CLocalFile::Mode::AppendExisting);
        }

        if (!opened)
            failure = "Error creating logfile, processing will stop.";
        else if (!file.Write(line.data(), line.size()) || !file.Close())
            failure = "Error accessing logfile.";
    }
    if (failure == nullptr)
        return true;
    MessageBox(failure, MsgButtons::Ok, MsgIcon::Exclamation, {});
    return false;
}
