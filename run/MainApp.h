#pragma once

#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/NetworkLibrary.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>

class IFrontEnd;

// The one application object. It carries what the user-interface thread and the worker share:
// the version text, the worker lock, the closing flag, the front end and the error log. The
// engine reaches it only as its context; only the front ends' own code asks for Instance().
class CMainApp : public IEngineContext
{
public:
    // The name captions the message boxes that have none of their own.
    explicit CMainApp(std::string strAppName = FileSystem::ExecutableBaseName());
    ~CMainApp() override;
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // The application object that exists now, or null.
    static CMainApp* Instance();

    // Starts the network library, builds the version text and creates the worker lock. False
    // (after telling the user) when the network library cannot start: the program must end.
    bool InitInstance();
    void ExitInstance();

    std::string GetVersionText() const override { return m_strVersion; }
    bool IsClosing() const override { return m_bClosing.load(); }
    const std::string& GetAppName() const { return m_strAppName; }

    // The log's name in the destination folder.
    static constexpr const char* kLogFileName = "error.log";

    // Appends one stamped line to error.log in the front end's destination folder; `bNewLog`
    // starts the file afresh. Only a plain file is written: never through a link, never a FIFO.
    // Failures are shown to the user; the result only tells a caller that must not go on without
    // its line (the run header) whether it was written.
    bool WriteErrorLog(const std::string& strMessage, bool bNewLog) override;

    // Shows a message box through the installed presenter (stderr when there is none). An empty
    // caption becomes the application's name.
    MsgAnswer MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& caption) override;
    // Not owned; null restores the console presenter.
    void SetMessagePresenter(IMessagePresenter* pPresenter);

    std::string m_strVersion;
    // Held by the worker thread object for its whole life; the window's tear-down waits on it.
    std::unique_ptr<std::binary_semaphore> m_pWorkerLock;
    std::atomic<bool> m_bClosing{false};
    IFrontEnd* m_pMainDlg = nullptr;
    std::string m_strLogPath;

private:
    std::string m_strAppName;
    CNetworkLibrary m_network;
    std::mutex m_logMutex;
    std::atomic<IMessagePresenter*> m_pPresenter{nullptr};
};

// The build number shown in the version text.
inline constexpr long kBuildNumber = 90;

// Shows a message box through the application object; callers that have no caption of their own
// leave it empty.
MsgAnswer ShowMessageBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None, const std::string& caption = {});
