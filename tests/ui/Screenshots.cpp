// Renders the main window (idle, with options, running) and the About box to PNG files, for the
// documentation. Usage: harvestly_screenshots OUTPUT_FOLDER
#include "app/AboutDlg.h"
#include "app/MainDlg.h"
#include "run/MainApp.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
#include "support/gui/ShellRecorders.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <cstdio>

namespace
{

void Save(QWidget& window, const QString& path)
{
    QApplication::processEvents();
    if (!window.grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// The running state as run control sets it, with the counts of a run under way.
void ShowRunning(CMainDlg& dialog)
{
    for (int nId : {IDC_BROWSE_DESTINATION, IDC_OPEN_SHORTCUT, IDC_EXIT, IDC_DESTINATION, IDC_URL, IDC_USERID,
                    IDC_PASSWORD, IDC_CRAWL})
        dialog.EnableItem(nId, false);
    dialog.ShowItem(IDC_OPTIONS, false);
    dialog.SetDlgItemText(IDC_GO, "&Stop");
    for (int nId : {IDC_PROGRESS, IDC_CURRENT, IDC_CURRENT_LABEL, IDC_FILE_PROGRESS, IDC_RATE,
                    IDC_PENDING_LABEL, IDC_PROCESSED_LABEL, IDC_PENDING, IDC_PROCESSED, IDC_PENDING_LIST})
        dialog.ShowItem(nId, true);
    dialog.SetDlgItemText(IDC_CURRENT, "http://www.example.com/docs/guide/chapter3.html");
    dialog.SetDlgItemText(IDC_FILE_PROGRESS, "12.0 of 30.0k (40.0%)");
    dialog.SetDlgItemText(IDC_RATE, "85.32 KBps");
    dialog.SetDlgItemText(IDC_PROCESSED, "17");
    dialog.SetDlgItemText(IDC_PENDING, "6");
    dialog.Item<QProgressBar>(IDC_PROGRESS)->setValue(40);
    auto* pList = dialog.Item<QListWidget>(IDC_PENDING_LIST);
    for (const char* url :
         {"http://www.example.com/docs/guide/images/figure1.png",
          "http://www.example.com/docs/guide/chapter4.html",
          "http://www.example.com/docs/guide/chapter5.html", "http://www.example.com/docs/guide/index.html"})
        pList->addItem(url);
    dialog.m_bRunning = true;
    dialog.UpdateLayout(true);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    CTestApp app;
    CTrayShellRecorder tray;
    CShellLauncherRecorder launcher;
    {
        CMainDlg dialog(app.App(), &tray, &launcher);
        dialog.m_strUrl = "http://www.example.com/docs/guide/";
        dialog.m_strDestination = "/home/user/mirrors/guide/";
        dialog.show();
        Save(dialog, folder + "/main-window.png");

        dialog.Item<QPushButton>(IDC_OPTIONS)->click();
        Save(dialog, folder + "/main-window-options.png");
        dialog.Item<QPushButton>(IDC_OPTIONS)->click();

        ShowRunning(dialog);
        Save(dialog, folder + "/main-window-running.png");

        CAboutDlg about(app.App(), launcher, &dialog);
        about.show();
        Save(about, folder + "/about-box.png");
        about.hide();
        dialog.m_bRunning = false;
        dialog.reject();
    }
    return 0;
}
