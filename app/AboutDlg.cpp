#include "app/AboutDlg.h"

#include "run/MainApp.h"
#include "ui/LinkLabels.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(CMainApp& app, IShellLauncher& launcher, QWidget* pParent)
    : CTemplateDialog(IDD_ABOUTBOX, pParent), m_app(app)
{
    // The web label already holds its "http://", so its target is its text unchanged.
    m_pLinks = new CLinkLabels(*this, Item<QLabel>(IDC_ABOUT_MAIL_LINK), Item<QLabel>(IDC_ABOUT_WEB_LINK), "",
                               launcher);
    if (auto* pOk = Item<QPushButton>(1))
        connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
}

bool CAboutDlg::OnInitDialog()
{
    m_pLinks->ClearHover();
    SetDlgItemText(IDC_VERSION_TEXT, QString::fromStdString(m_app.GetVersionText()));
    return true;
}
