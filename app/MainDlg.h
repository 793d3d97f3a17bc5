#pragma once

#include "app/FrontEnd.h"
#include "crawl/CrawlOwner.h"
#include "platform/gui/TrayShell.h"
#include "ui/AnimTrayIcon.h"
#include "ui/TemplateDialog.h"

#include <QIcon>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class CCrawlJob;
class CInternetThread;
class CLinkLabels;
class CMainApp;
class IShellLauncher;
class QMenu;

// Control and command identifiers of the main window (dialog 102) and the tray menu (145).
enum MainDlgId : int
{
    IDD_MAINDLG = 102,
    IDC_GO = 1000,
    IDC_URL = 1001,
    IDC_DESTINATION = 1002,
    IDC_EXIT = 1005,
    IDC_USERID = 1008,
    IDC_PASSWORD = 1009,
    IDC_CRAWL = 1010,
    IDC_CURRENT = 1011,
    IDC_CURRENT_LABEL = 1012,
    IDC_BROWSE_DESTINATION = 1013,
    IDC_PROGRESS = 1015,
    IDC_FILE_PROGRESS = 1016,
    IDC_FILECHECK_LABEL = 1019,
    IDC_FILECHECK = 1020,
    IDC_PROCESSED = 1021,
    IDC_PENDING = 1022,
    IDC_PROCESSED_LABEL = 1023,
    IDC_PENDING_LABEL = 1024,
    IDC_PENDING_LIST = 1025,
    IDC_RETRIES = 1026,
    IDC_CONTINUE_ON_ERROR = 1027,
    IDC_NONAME_AS_INDEX = 1030,
    IDC_OPTIONS = 1032,
    IDC_RETRIES_LABEL = 1033,
    IDC_RATE = 1039,
    IDC_WEB_LINK = 1044,
    IDC_MAIL_LINK = 1045,
    IDC_OPEN_SHORTCUT = 1046,
    IDC_FILTER = 1052,
    IDC_USE_FILTERS = 1053,
    IDC_STEALTH = 1054,
    IDC_DEPTH_LABEL = 1055,
    IDC_DEPTH = 1056,
    IDC_WEB_LINK_LABEL = 1057,
    IDC_MAIL_LINK_LABEL = 1058,

    IDR_TRAYMENU = 145,
    ID_TRAY_STOP = 32771,
    ID_TRAY_ABOUT = 32772,
    ID_TRAY_STEALTH = 32773,
    ID_TRAY_SKIP = 32774,

    IDM_ABOUTBOX = 0x10,
    IDR_MAINFRAME = 128,
};

// The tray icon's identifier, which is also its callback message.
inline constexpr unsigned kTrayCallbackMessage = 0x8001;
// The progress timer: id 1, every 50 ms.
inline constexpr unsigned ID_PROGRESS_TIMER = 1;
inline constexpr unsigned kProgressInterval = 50;

enum class SizeType
{
    Restored,
    Minimized,
    Maximized,
};

// The main window: address, destination and credentials, Go, the options panel, the progress
// panel and the link row. It owns the worker thread object, the tray icon and the running job.
//
// Threads: everything here runs on the user-interface thread except OnCrawlDone, which the
// worker calls and which hands the rest on with a queued call.
class CMainDlg : public CTemplateDialog, public ICrawlOwner, public IFrontEnd, public ITrayNotifySink
{
    Q_OBJECT

public:
    // The shells default to the desktop's; tests pass recorders. Neither is owned.
    explicit CMainDlg(ITrayShell* pTrayShell = nullptr, IShellLauncher* pLauncher = nullptr);
    ~CMainDlg() override;

    // Moves the fields into the controls, or with `bSaveAndValidate` the controls into the fields.
    void UpdateData(bool bSaveAndValidate);
    void UpdateLayout(bool bExpanded);
    bool LogLine(const std::string& strText, bool bNewLog);
    std::string GetDestination() const override { return m_strDestination; }

    // Shortcut files and the command line.
    bool WriteShortcut(const std::string& strUrl, const std::string& strDestination,
                       const std::string& strUserId, const std::string& strPassword);
    void ReadShortcut(const std::string& strPath);
    void ProcessCommandLine(const std::string& strCommandLine);

    // Window set-up and tear-down.
    bool OnInitDialog();
    // Ends the worker, frees a job still held and removes the tray icon; safe to run twice.
    void DestroyWindow();
    void OnSysCommand(unsigned nId);
    void OnSize(SizeType nType, int cx, int cy);

    // Handlers of the top area and the menus.
    void OnExit();
    void OnCrawlOption();
    void OnBrowseDestination();
    void OnOptions();
    void OnAbout();
    void OnOpenShortcut();
    long OnTrayNotify(unsigned wParam, unsigned lParam) override;
    // Menu 145's popup with its items' states set for this moment.
    std::unique_ptr<QMenu> CreateTrayMenu();

    // Run control (MainDlgRun.cpp).
    void OnGo();
    void OnTimer(unsigned nIdEvent);
    // Called on the worker thread when Run has returned.
    void OnCrawlDone(bool bResult) override;

    // Options panel (MainDlgOptions.cpp).
    void OnContinueOnError();
    void OnNoNameAsIndex();
    void OnStealth();
    void OnFileCheckChange();
    void OnUseFilters();
    void OnRetriesChange();
    void OnDepthChange();
    void OnFilter();

    // The window timer, as run control uses it: false when it cannot be started.
    bool SetTimer(unsigned nIdEvent, unsigned nElapse);
    void KillTimer(unsigned nIdEvent);

    CAnimTrayIcon& TrayIcon() { return m_trayIcon; }
    CLinkLabels& LinkLabels() { return *m_pLinks; }
    IShellLauncher& Launcher() { return *m_pLauncher; }
    CInternetThread* Worker() const { return m_pWorker.get(); }

    // The fields exchanged with the controls.
    std::string m_strDestination;
    std::string m_strPassword;
    std::string m_strUrl;
    std::string m_strUserId;
    bool m_bCrawl = false;
    bool m_bOptions = false;
    bool m_bNoNameAsIndex = false;
    bool m_bContinueOnError = false;
    int m_nFileCheck = -1;

    // Run state (MainDlgRun.cpp).
    bool m_bRunning = false;
    bool m_bUserStop = false;
    // Held while the worker runs it; freed when the run's end has been reported, or by the
    // tear-down after the worker has ended.
    std::unique_ptr<CCrawlJob> m_pJob;
    // Set by the worker once Run has returned: from then on the run is over, whatever the window
    // still shows, and a Stop no longer changes its outcome.
    std::atomic<bool> m_bCrawlReturned{false};

    // What the progress display last showed, so a control is only rewritten when it changes.
    std::string m_strLastCurrent;
    std::string m_strProgress;
    std::string m_strLastProgress;
    int m_nPercent = 0;
    long m_nLastProcessed = 0;
    long m_nLastPending = 0;
    double m_dLastRate = 0;
    // The serial of the pending lines list box 1025 shows.
    std::uint64_t m_nLastPendingSerial = 0;

    void setVisible(bool bVisible) override;

protected:
    void done(int nResult) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    // The switches for today's sites, each stored the moment it is toggled.
    void AddReachSwitches(QMenu& menu);
    void keyPressEvent(QKeyEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;

private:
    void ConnectControls();
    // Run control's end of a run, on the user-interface thread (MainDlgRun.cpp).
    void FinishRun(bool bResult);
    void ShowOptionsPanel(bool bShow);
    void ReadOptionsIntoPanel();

    std::unique_ptr<ITrayShell> m_pOwnTrayShell;
    std::unique_ptr<IShellLauncher> m_pOwnLauncher;
    ITrayShell* m_pTrayShell;
    IShellLauncher* m_pLauncher;

    QIcon m_hIcon;
    // Ended by the tear-down, the one join with the worker.
    std::unique_ptr<CInternetThread> m_pWorker;
    bool m_bInitialized = false;
    bool m_bInitDialogRan = false;
    bool m_bTornDown = false;
    CMainApp* m_pApp;
    CAnimTrayIcon m_trayIcon;
    CLinkLabels* m_pLinks = nullptr;
    int m_nProgressTimer = 0;
};
