#include "ui/FolderBrowser.h"

#include "app/MainDlg.h"
#include "res/StringTable.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
#include "support/gui/ModalHelper.h"
#include "support/gui/ShellRecorders.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace
{

// The path as the chooser gives it back: no final separator.
std::string Bare(std::string path)
{
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

TEST(FolderBrowserTest, OpensAtTheInitialFolderAndReportsTheConfirmedOne)
{
    CTempDir dir;
    std::filesystem::create_directory(dir / "sub");

    CInitialFolderBrowser browser(nullptr, IDS_BROWSE_TITLE);
    EXPECT_FALSE(browser.SetTitleId(0));
    EXPECT_FALSE(browser.SetTitleId(9999));
    EXPECT_EQ(browser.GetTitle(), "选择目录为文件目标...");
    browser.SetFlags(BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT);
    browser.SetInitialFolder(Bare(dir.Path()));

    QString title;
    QString statusAtStart;
    QString statusAfterSelection;
    QString shownFolder;
    WhenModalAppears(
        [&](QWidget* pModal)
        {
            auto* pChooser = qobject_cast<QFileDialog*>(pModal);
            ASSERT_NE(pChooser, nullptr);
            ASSERT_EQ(pChooser, browser.GetBrowserWindow());
            title = pChooser->windowTitle();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !browser.GetStatusLine()->text().isEmpty(); }, 5000));
            statusAtStart = browser.GetStatusLine()->text();
            shownFolder = QDir::cleanPath(pChooser->directory().absolutePath());
            // As the chooser reports a new current folder; its model fills in asynchronously.
            emit pChooser->currentChanged(QString::fromStdString(dir / "sub"));
            statusAfterSelection = browser.GetStatusLine()->text();
            // Past the chooser's own checks, which race its asynchronous folder model.
            QMetaObject::invokeMethod(pChooser, "done", Q_ARG(int, QDialog::Accepted));
        });
    ASSERT_TRUE(browser.DoBrowse());
    EXPECT_EQ(title.toStdString(), "选择目录为文件目标...");
    EXPECT_EQ(statusAtStart.toStdString(), Bare(dir.Path()));
    EXPECT_EQ(shownFolder.toStdString(), Bare(dir.Path()));
    EXPECT_EQ(statusAfterSelection.toStdString(), dir / "sub");
    EXPECT_FALSE(browser.GetPath().empty());
    EXPECT_EQ(browser.GetBrowserWindow(), nullptr);

    // Cancelled: the result stays as it was.
    const std::string before = browser.GetPath();
    WhenModalAppears([](QWidget* pModal) { qobject_cast<QDialog*>(pModal)->reject(); });
    EXPECT_FALSE(browser.DoBrowse());
    EXPECT_EQ(browser.GetPath(), before);
}

TEST(FolderBrowserTest, BrowseButtonPutsTheChosenFolderIntoTheDestination)
{
    CTestApp app;
    CTrayShellRecorder tray;
    CShellLauncherRecorder launcher;
    CTempDir dir;
    CMainDlg dialog(app.App(), &tray, &launcher);
    dialog.show();
    dialog.SetDlgItemText(IDC_DESTINATION, QString::fromStdString(dir.Path()));
    dialog.SetDlgItemText(IDC_URL, "http://typed/");

    // Past the chooser's own checks, which race its asynchronous folder model.
    WhenModalAppears([](QWidget* pModal)
                     { QMetaObject::invokeMethod(pModal, "done", Q_ARG(int, QDialog::Accepted)); });
    dialog.OnBrowseDestination();
    EXPECT_EQ(dialog.m_strDestination, Bare(dir.Path()));
    EXPECT_EQ(dialog.GetDlgItemText(IDC_DESTINATION).toStdString(), Bare(dir.Path()));
    EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "http://typed/");

    WhenModalAppears([](QWidget* pModal) { qobject_cast<QDialog*>(pModal)->reject(); });
    dialog.SetDlgItemText(IDC_DESTINATION, "/elsewhere/");
    dialog.OnBrowseDestination();
    EXPECT_EQ(dialog.GetDlgItemText(IDC_DESTINATION), "/elsewhere/");
    dialog.reject();
}
