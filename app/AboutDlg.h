#pragma once

#include "ui/TemplateDialog.h"

class CLinkLabels;
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
    explicit CAboutDlg(IShellLauncher& launcher, QWidget* pParent = nullptr);

    bool OnInitDialog();
    CLinkLabels& LinkLabels() { return *m_pLinks; }

    void setVisible(bool bVisible) override;

private:
    CLinkLabels* m_pLinks;
    bool m_bInitDialogRan = false;
};
