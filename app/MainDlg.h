#pragma once

#include "app/MainDlgIds.h"
#include "app/OptionsPanel.h"
#include "app/ProgressDisplay.h"
#include "app/RunControl.h"
#include "crawl/CrawlOwner.h"
#include "platform/gui/TrayShell.h"
#include "run/FrontEnd.h"
#include "settings/SettingsTable.h"
#include "ui/AnimTrayIcon.h"
#include "ui/TemplateDialog.h"

#include <QIcon>
#include <memory>
#include <string>

class CCrawlJob;
class CInternetThread;
class CLinkLabels;
class CMainApp;
class IShellLauncher;
class QMenu;

enum class SizeType
{
    Restored,
    Minimized,
    Maximized,
};

// The main window: address, destination and credentials, Go, the options panel, the progress
// panel and the link row. It owns the worker thread object, the tray icon and the running job;
// run control (CRunControl) starts and ends the runs.
//
// Threads: everything here runs on the user-interface thread except OnCrawlDone, which the
// worker calls and which run control hands on with a queued call.
class CMainDlg : public CTemplateDialog, public ICrawlOwner, public IFrontEnd, public ITrayNotifySink
{
    Q_OBJECT

public:
    // The shells default to the desktop's; tests pass recorders. None is owned; the application
    // object must outlive the window.
    explicit CMainDlg(CMainApp& app, ITrayShell* pTrayShell = nullptr, IShellLauncher* pLauncher = nullptr);
    ~CMainDlg() override;

    // Moves the fields into the controls, or with `bSaveAndValidate` the controls into the fields.
    void UpdateData(bool bSaveAndValidate);
    void UpdateLayout(bool bExpanded);
    std::string GetDestination() const override { return m_strDestination; }

    // Shortcut files and the command line.
    bool WriteShortcut(const std::string& strUrl, const std::string& strDestination,
                       const std::string& strUserId, const std::string& strPassword);
    void ReadShortcut(const std::string& strPath);
    void ProcessCommandLine(const std::string& strCommandLine);

    // Window set-up and tear-down.
    bool OnInitDialog() override;
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

    // Run control.
    void OnGo() { m_run.OnGo(); }
    void OnTimer(unsigned /*nIdEvent*/) { m_run.OnTimer(); }
    // Called on the worker thread when Run has returned.
    void OnCrawlDone(bool bResult) override { m_run.OnCrawlDone(bResult); }

    // The options panel's handlers: each stores its control's value as soon as it changes.
    void OnContinueOnError() { m_options.StoreCheck(IDC_CONTINUE_ON_ERROR, kValueContinueOnError); }
    void OnNoNameAsIndex() { m_options.StoreCheck(IDC_NONAME_AS_INDEX, kValueNoNameAsIndex); }
    void OnStealth() { m_options.StoreCheck(IDC_STEALTH, kValueStealth); }
    void OnFileCheckChange() { m_options.StoreFileCheck(); }
    void OnUseFilters() { m_options.StoreUseFilters(); }
    void OnRetriesChange() { m_options.StoreRetries(); }
    void OnDepthChange() { m_options.StoreDepth(); }
    void OnFilter() { m_options.EditFilter(); }

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

    // Run state, read by the tray menu and the tear-down.
    bool m_bRunning = false;
    bool m_bUserStop = false;
    // Held while the worker runs it; freed when the run's end has been reported, or by the
    // tear-down after the worker has ended.
    std::unique_ptr<CCrawlJob> m_pJob;
    // Set by the worker once Run has returned: from then on the run is over, whatever the window
    // still shows, and a Stop no longer changes its outcome.
    std::atomic<bool> m_bCrawlReturned{false};

protected:
    void done(int nResult) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void ConnectControls();

    std::unique_ptr<ITrayShell> m_pOwnTrayShell;
    std::unique_ptr<IShellLauncher> m_pOwnLauncher;
    ITrayShell* m_pTrayShell;
    IShellLauncher* m_pLauncher;

    QIcon m_hIcon;
    // Ended by the tear-down, the one join with the worker.
    std::unique_ptr<CInternetThread> m_pWorker;
    bool m_bInitialized = false;
    bool m_bTornDown = false;
    CMainApp& m_app;
    CAnimTrayIcon m_trayIcon;
    CLinkLabels* m_pLinks = nullptr;
    COptionsPanel m_options;
    CProgressDisplay m_progress;
    CRunControl m_run;
};
