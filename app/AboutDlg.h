#pragma once

#include "ui/TemplateDialog.h"

class CLinkLabels;
class CMainApp;
class IShellLauncher;

enum AboutDlgId : int
{
    IDD_ABOUTBOX = 100,
    IDC_VERSION_TEXT = 1018,
    IDC_ABOUT_WEB_LINK = 1038,
    IDC_ABOUT_MAIL_LINK = 1042,
};

// The About box (dialog 100): the version text and the two link labels.
class CAboutDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    CAboutDlg(CMainApp& app, IShellLauncher& launcher, QWidget* pParent = nullptr);

    bool OnInitDialog() override;
    CLinkLabels& LinkLabels() { return *m_pLinks; }

private:
    CMainApp& m_app;
    CLinkLabels* m_pLinks;
};
