#include "app/MainDlg.h"

#include "app/AboutDlg.h"
#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "platform/gui/IconResource.h"
#include "platform/gui/QtTrayShell.h"
#include "platform/gui/ShellLauncher.h"
#include "res/StringTable.h"
#include "run/MainApp.h"
#include "run/ShortcutFile.h"
#include "settings/SettingsTable.h"
#include "ui/FolderBrowser.h"
#include "ui/LinkLabels.h"
#include "ui/MenuTemplate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace
{

// The idle icon, then the nine animation frames, ended by a 0.
constexpr unsigned kTrayIcons[] = {150, 137, 138, 144, 140, 141, 142, 143, 139, 148, 0};

constexpr int kLinkRow[] = {IDC_WEB_LINK_LABEL, IDC_WEB_LINK, IDC_MAIL_LINK_LABEL, IDC_MAIL_LINK};

// Below the reference control come the link row and this margin.
constexpr int kLinkRowMargin = 10;

QString ToQ(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CMainDlg::CMainDlg(CMainApp& app, ITrayShell* pTrayShell, IShellLauncher* pLauncher)
    : CTemplateDialog(IDD_MAINDLG),
      m_pOwnTrayShell(pTrayShell != nullptr ? nullptr : std::make_unique<CQtTrayShell>()),
      m_pOwnLauncher(pLauncher != nullptr ? nullptr : std::make_unique<CDesktopShellLauncher>()),
      m_pTrayShell(pTrayShell != nullptr ? pTrayShell : m_pOwnTrayShell.get()),
      m_pLauncher(pLauncher != nullptr ? pLauncher : m_pOwnLauncher.get()),
      m_hIcon(LoadIconResource(IDR_MAINFRAME)), m_app(app), m_trayIcon(*m_pTrayShell, kTrayIcons),
      m_options(*this, app), m_progress(*this), m_run(*this, app, m_options, m_progress)
{
    m_app.SetFrontEnd(this);
    m_pLinks = new CLinkLabels(*this, Item<QLabel>(IDC_MAIL_LINK), Item<QLabel>(IDC_WEB_LINK), "http://",
                               *m_pLauncher);
    ConnectControls();
}

CMainDlg::~CMainDlg()
{
    DestroyWindow();
    m_app.ClearFrontEnd(this);
}

void CMainDlg::ConnectControls()
{
    const auto onClick = [this](int nId, void (CMainDlg::*pHandler)())
    { OnPressed(nId, [this, pHandler] { (this->*pHandler)(); }); };
    const auto onEdit = [this](int nId, void (CMainDlg::*pHandler)())
    {
        if (auto* pEdit = Item<QLineEdit>(nId))
            connect(pEdit, &QLineEdit::textChanged, this, pHandler);
    };

    onClick(IDC_GO, &CMainDlg::OnGo);
    onClick(IDC_EXIT, &CMainDlg::OnExit);
    onClick(IDC_CRAWL, &CMainDlg::OnCrawlOption);
    onClick(IDC_BROWSE_DESTINATION, &CMainDlg::OnBrowseDestination);
    onClick(IDC_OPTIONS, &CMainDlg::OnOptions);
    onClick(IDC_OPEN_SHORTCUT, &CMainDlg::OnOpenShortcut);

    onClick(IDC_CONTINUE_ON_ERROR, &CMainDlg::OnContinueOnError);
    onClick(IDC_NONAME_AS_INDEX, &CMainDlg::OnNoNameAsIndex);
    onClick(IDC_FILTER, &CMainDlg::OnFilter);
    onClick(IDC_USE_FILTERS, &CMainDlg::OnUseFilters);
    onClick(IDC_STEALTH, &CMainDlg::OnStealth);
    onEdit(IDC_RETRIES, &CMainDlg::OnRetriesChange);
    onEdit(IDC_DEPTH, &CMainDlg::OnDepthChange);
    // Only a selection the user makes counts as a change, as with CBN_SELCHANGE.
    if (auto* pCombo = Item<QComboBox>(IDC_FILECHECK))
        connect(pCombo, &QComboBox::activated, this, &CMainDlg::OnFileCheckChange);
}

void CMainDlg::UpdateData(bool bSaveAndValidate)
{
    auto* pFileCheck = Item<QComboBox>(IDC_FILECHECK);
    if (bSaveAndValidate)
    {
        m_strDestination = GetDlgItemText(IDC_DESTINATION).toStdString();
        m_strPassword = GetDlgItemText(IDC_PASSWORD).toStdString();
        m_strUrl = GetDlgItemText(IDC_URL).toStdString();
        m_strUserId = GetDlgItemText(IDC_USERID).toStdString();
        m_bCrawl = IsDlgButtonChecked(IDC_CRAWL) != 0;
        m_bOptions = IsDlgButtonChecked(IDC_OPTIONS) != 0;
        m_bNoNameAsIndex = IsDlgButtonChecked(IDC_NONAME_AS_INDEX) != 0;
        m_bContinueOnError = IsDlgButtonChecked(IDC_CONTINUE_ON_ERROR) != 0;
        m_nFileCheck = pFileCheck->currentIndex();
        return;
    }
    SetDlgItemText(IDC_DESTINATION, ToQ(m_strDestination));
    SetDlgItemText(IDC_PASSWORD, ToQ(m_strPassword));
    SetDlgItemText(IDC_URL, ToQ(m_strUrl));
    SetDlgItemText(IDC_USERID, ToQ(m_strUserId));
    CheckDlgButton(IDC_CRAWL, m_bCrawl);
    CheckDlgButton(IDC_OPTIONS, m_bOptions);
    CheckDlgButton(IDC_NONAME_AS_INDEX, m_bNoNameAsIndex);
    CheckDlgButton(IDC_CONTINUE_ON_ERROR, m_bContinueOnError);
    pFileCheck->setCurrentIndex(m_nFileCheck);
}

bool CMainDlg::OnInitDialog()
{
    UpdateData(false);
    setWindowIcon(m_hIcon);
    UpdateLayout(false);
    const std::string strVersion = m_app.GetVersionText();
    setWindowTitle(ToQ(strVersion));

    m_bRunning = false;
    m_pJob.reset();
    UpdateData(false);

    m_pWorker = CInternetThread::Create();
    if (!m_pWorker)
        (void)m_app.MessageBox("Unable to create internet thread.", MsgButtons::Ok, MsgIcon::None, {});

    m_trayIcon.SetTipText(strVersion);
    m_trayIcon.Create(kTrayCallbackMessage, this);
    m_bInitialized = true;
    return true;
}

void CMainDlg::done(int nResult)
{
    CTemplateDialog::done(nResult);
    DestroyWindow();
}

void CMainDlg::DestroyWindow()
{
    if (m_bTornDown)
        return;
    m_bTornDown = true;

    // From here on nothing the worker does may wait on this thread: message boxes it asks for
    // return at once and its end-of-run call does nothing.
    m_app.SetClosing(true);
    if (m_pWorker)
    {
        // A run under way ends first; after this the worker holds no job.
        m_pWorker->End();
        m_pWorker.reset();
    }
    m_run.EndOnClose();
    if (m_trayIcon.IsAdded())
        m_trayIcon.OnDestroy();
}

void CMainDlg::UpdateLayout(bool bExpanded)
{
    // Windows measures this against the window's frame with an 18-pixel caption allowance; in
    // client co-ordinates the same rule reads: the link row starts at the reference's bottom edge.
    const QWidget* pReference = GetDlgItem(bExpanded ? IDC_PENDING_LIST : IDC_GO);
    const int nHeight = GetDlgItem(IDC_WEB_LINK_LABEL)->height();
    const int nTop = pReference->geometry().top() + pReference->height();

    for (int nId : kLinkRow)
    {
        QWidget* pLabel = GetDlgItem(nId);
        pLabel->setGeometry(pLabel->x(), nTop, pLabel->width(), nHeight);
    }
    update();
    setFixedSize(width(), nTop + nHeight + kLinkRowMargin);
}

void CMainDlg::resizeEvent(QResizeEvent* pEvent)
{
    CTemplateDialog::resizeEvent(pEvent);
    const Qt::WindowStates state = windowState();
    const SizeType nType = (state & Qt::WindowMinimized)   ? SizeType::Minimized
                           : (state & Qt::WindowMaximized) ? SizeType::Maximized
                                                           : SizeType::Restored;
    OnSize(nType, width(), height());
}

void CMainDlg::changeEvent(QEvent* pEvent)
{
    CTemplateDialog::changeEvent(pEvent);
    // A restore from the minimised state may come without a size change.
    if (pEvent->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) == 0 &&
        (windowState() & Qt::WindowMaximized) == 0)
        OnSize(SizeType::Restored, width(), height());
}

void CMainDlg::OnSize(SizeType nType, int, int)
{
    if (nType == SizeType::Restored && m_bInitialized)
        UpdateLayout(m_bRunning || IsDlgButtonChecked(IDC_OPTIONS) == 1);
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* pEvent)
{
    // The desktop offers no system menu to extend; the About entry lives on the window's own menu.
    const std::string strAbout = LoadResString(IDS_ABOUTBOX);
    if (strAbout.empty())
        return;
    QMenu menu(this);
    QAction* pAbout = menu.addAction(ToQ(strAbout));
    menu.addSeparator();
    m_options.AddMoreOptions(menu, !m_bRunning);
    if (menu.exec(pEvent->globalPos()) == pAbout)
        OnSysCommand(IDM_ABOUTBOX);
}

void CMainDlg::keyPressEvent(QKeyEvent* pEvent)
{
    // Esc presses the Exit button, as it presses a dialog's Cancel button; while a run has the
    // button disabled it does nothing, so the run and the typed fields are not thrown away.
    if (pEvent->key() == Qt::Key_Escape && pEvent->modifiers() == Qt::NoModifier)
    {
        auto* pExit = Item<QAbstractButton>(IDC_EXIT);
        if (pExit != nullptr && pExit->isEnabled() && pExit->isVisible())
            pExit->click();
        return;
    }
    CTemplateDialog::keyPressEvent(pEvent);
}

void CMainDlg::OnSysCommand(unsigned nId)
{
    if ((nId & 0xFFF0) == IDM_ABOUTBOX)
        OnAbout();
}

void CMainDlg::OnAbout()
{
    // Like the main window, the About box has no parent window.
    CAboutDlg dialog(m_app, *m_pLauncher);
    dialog.exec();
}

void CMainDlg::OnExit()
{
    UpdateData(true);
    accept();
}

void CMainDlg::OnCrawlOption()
{
    m_bCrawl = IsDlgButtonChecked(IDC_CRAWL) != 0;
}

void CMainDlg::OnBrowseDestination()
{
    UpdateData(true);
    CInitialFolderBrowser browser(this, IDS_BROWSE_TITLE);
    browser.SetFlags(BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT);
    browser.SetInitialFolder(m_strDestination);
    if (browser.DoBrowse())
    {
        m_strDestination = browser.GetPath();
        UpdateData(false);
    }
}

void CMainDlg::OnOptions()
{
    const bool bShown = IsDlgButtonChecked(IDC_OPTIONS) == 1;
    m_options.Show(bShown);
    m_options.ReadStoredValues();
    UpdateLayout(bShown);
}

long CMainDlg::OnTrayNotify(unsigned, unsigned lParam)
{
    if (lParam != WM_RBUTTONDOWN)
        return 0;
    std::unique_ptr<QMenu> pMenu = CreateTrayMenu();
    if (pMenu == nullptr)
        return 0;
    activateWindow();
    raise();
    pMenu->exec(QCursor::pos());
    return 0;
}

std::unique_ptr<QMenu> CMainDlg::CreateTrayMenu()
{
    std::unique_ptr<QMenu> pMenu = LoadMenuPopup(IDR_TRAYMENU, 0, this);
    if (pMenu == nullptr)
        return nullptr;
    if (QAction* pStop = FindMenuItem(*pMenu, ID_TRAY_STOP))
    {
        pStop->setEnabled(m_run.CanStop());
        connect(pStop, &QAction::triggered, this, &CMainDlg::OnGo);
    }
    if (QAction* pAbout = FindMenuItem(*pMenu, ID_TRAY_ABOUT))
        connect(pAbout, &QAction::triggered, this, &CMainDlg::OnAbout);
    for (int nId : {ID_TRAY_STEALTH, ID_TRAY_SKIP})
    {
        if (QAction* pItem = FindMenuItem(*pMenu, nId))
            pItem->setEnabled(false);
    }
    return pMenu;
}

bool CMainDlg::WriteShortcut(const std::string& strUrl, const std::string& strDestination,
                             const std::string& strUserId, const std::string& strPassword)
{
    return CShortcutFile::Write(strDestination, strUrl, strUserId, strPassword);
}

void CMainDlg::ReadShortcut(const std::string& strPath)
{
    const std::optional<ShortcutContents> contents = CShortcutFile::Read(strPath);
    if (!contents)
        return;
    if (contents->strUrl)
        m_strUrl = *contents->strUrl;
    if (contents->strDestination)
        m_strDestination = *contents->strDestination;
    if (contents->strUserId)
        m_strUserId = *contents->strUserId;
    if (contents->strPassword)
        m_strPassword = *contents->strPassword;
}

void CMainDlg::OnOpenShortcut()
{
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Internet Shortcut (*.url)"));
    dialog.setDefaultSuffix(QStringLiteral("url"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const std::string strPath = dialog.selectedFiles().front().toStdString();
    if (strPath.empty())
        return;
    // Keep what was typed into the other fields: only the shortcut's values replace theirs.
    UpdateData(true);
    ReadShortcut(strPath);
    UpdateData(false);
}

void CMainDlg::ProcessCommandLine(const std::string& strCommandLine)
{
    const std::string strWord = strCommandLine.substr(0, strCommandLine.find(' '));
    m_strUrl = AsciiText::ToLower(strWord);
    // File names are case-sensitive here: a shortcut in a folder with capitals in its name is
    // only found under the name as typed.
    ReadShortcut(FileSystem::Exists(m_strUrl) ? m_strUrl : strWord);
}
