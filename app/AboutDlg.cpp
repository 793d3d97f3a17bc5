#include "app/AboutDlg.h"

#include "run/MainApp.h"
#include "ui/LinkLabels.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(IShellLauncher& launcher, QWidget* pParent) : CTemplateDialog(IDD_ABOUTBOX, pParent)
{
    // The web label already holds its "http://", so its target is its text unchanged.
    m_pLinks = new CLinkLabels(*this, Item<QLabel>(IDC_ABOUT_MAIL_LINK), Item<QLabel>(IDC_ABOUT_WEB_LINK), "",
                               launcher);
    if (auto* pOk = Item<QPushButton>(1))
        connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
}

void CAboutDlg::setVisible(bool bVisible)
{
    // Set up before the box first appears, as a dialog's initialisation runs before it is shown.
    if (bVisible && !m_bInitDialogRan)
    {
        m_bInitDialogRan = true;
        OnInitDialog();
    }
    CTemplateDialog::setVisible(bVisible);
}

bool CAboutDlg::OnInitDialog()
{
    m_pLinks->ClearHover();
    if (CMainApp* pApp = CMainApp::Instance())
        SetDlgItemText(IDC_VERSION_TEXT, QString::fromStdString(pApp->GetVersionText()));
    return true;
}
