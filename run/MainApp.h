#pragma once

#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/MessageBox.h"
#include "platform/NetworkLibrary.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

class IFrontEnd;

// The one application object, made by each program's main and handed to whatever needs it. It
// carries what the user-interface thread and the worker share: the version text, the closing
// flag, the front end and the error log. Everything below the front ends sees it only as its
// IEngineContext.
class CMainApp : public IEngineContext
{
public:
    // The name captions the message boxes that have none of their own.
    explicit CMainApp(std::string strAppName = FileSystem::ExecutableBaseName());
    ~CMainApp() override;
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // Starts the network library and builds the version text. False (after telling the user)
    // when the network library cannot start: the program must end.
    bool Initialize();
    void Shutdown();

    std::string GetVersionText() const override { return m_strVersion; }
    bool IsClosing() const override { return m_bClosing.load(); }
    // Set when the program starts to close: from then on nothing the worker does waits on the
    // user-interface thread, and a transfer ends after its current block.
    void SetClosing(bool bClosing) { m_bClosing.store(bClosing); }
    // The flag itself, for a message presenter that must stop waiting once it is set.
    const std::atomic<bool>& ClosingFlag() const { return m_bClosing; }
    const std::string& GetAppName() const { return m_strAppName; }

    // The log's name in the destination folder.
    static constexpr const char* kLogFileName = "error.log";

    // The front end whose destination folder receives error.log; not owned, null for none. A
    // front end that goes away names itself, so that a later one is not cleared by mistake.
    void SetFrontEnd(IFrontEnd* pFrontEnd) { m_pMainDlg.store(pFrontEnd); }
    void ClearFrontEnd(IFrontEnd* pFrontEnd);
    IFrontEnd* GetFrontEnd() const { return m_pMainDlg.load(); }

    // Appends one stamped line to error.log in the front end's destination folder; `bNewLog`
    // starts the file afresh. Only a plain file is written: never through a link, never a FIFO.
    // Failures are shown to the user; the result only tells a caller that must not go on without
    // its line (the run header) whether it was written.
    bool WriteErrorLog(const std::string& strMessage, bool bNewLog) override;
    // The file the log lines go to; empty before the first line.
    std::string GetLogPath() const;

    // Shows a message box through the installed presenter (stderr when there is none). An empty
    // caption becomes the application's name.
    MsgAnswer MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& caption) override;
    // Not owned; null restores the console presenter.
    void SetMessagePresenter(IMessagePresenter* pPresenter);

private:
    std::string m_strVersion;
    std::atomic<bool> m_bClosing{false};
    std::atomic<IFrontEnd*> m_pMainDlg{nullptr};
    std::string m_strAppName;
    CNetworkLibrary m_network;
    mutable std::mutex m_logMutex;
    std::string m_strLogPath;
    std::atomic<IMessagePresenter*> m_pPresenter{nullptr};
};

// The build number shown in the version text.
inline constexpr long kBuildNumber = 90;
