#pragma once

#include "platform/MessageBox.h"
#include "platform/NetworkLibrary.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>
#include <string>

class IFrontEnd;

// The one application object, reachable from the user-interface thread and the worker alike.
// It carries what both share: the version text, the worker lock, the closing flag, the front end
// and the error log.
class CMainApp
{
public:
    explicit CMainApp(std::string strAppName = "harvestly");
    ~CMainApp();
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // The application object that exists now, or null.
    static CMainApp* Instance();

    // Starts the network library, builds the version text and creates the worker lock. False
    // (after telling the user) when the network library cannot start: the program must end.
    bool InitInstance();
    void ExitInstance();

    std::string GetVersionText() const { return m_strVersion; }
    const std::string& GetAppName() const { return m_strAppName; }

    // Appends one stamped line to error.log in the front end's destination folder; `bNewLog`
    // starts the file afresh. Failures are shown to the user; the result only tells a caller that
    // must not go on without its line (the run header) whether it was written.
    bool WriteErrorLog(const std::string& strMessage, bool bNewLog);

    // Shows a message box through the installed presenter (stderr when there is none). An empty
    // caption becomes the application's name.
    MsgAnswer MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                         const std::string& caption);
    // Not owned; null restores the console presenter.
    void SetMessagePresenter(IMessagePresenter* pPresenter);

    // Stored settings replaced for this process only (the console front end's options), read by
    // the settings store in place of what is stored. Set before a run starts, not during one.
    void SetSettingOverride(const std::string& name, const std::string& value);
    std::optional<std::string> FindSettingOverride(const std::string& name) const;

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
    std::map<std::string, std::string> m_settingOverrides;
};

// The build number shown in the version text.
inline constexpr long kBuildNumber = 90;

// Shows a message box through the application object; callers that have no caption of their own
// leave it empty.
MsgAnswer ShowMessageBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None, const std::string& caption = {});
