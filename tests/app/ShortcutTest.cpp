#include "app/MainDlg.h"
#include "support/TempDir.h"
#include "support/TestApp.h"
#include "support/gui/ModalHelper.h"
#include "support/gui/ShellRecorders.h"

#include <QFileDialog>
#include <QLineEdit>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

class ShortcutTest : public ::testing::Test
{
protected:
    CMainDlg& NewDialog()
    {
        m_pDialog = std::make_unique<CMainDlg>(m_app.App(), &m_tray, &m_launcher);
        return *m_pDialog;
    }

    CTestApp m_app;
    CTempDir m_dir;
    CTrayShellRecorder m_tray;
    CShellLauncherRecorder m_launcher;
    std::unique_ptr<CMainDlg> m_pDialog;
};

// A folder whose path has no capital letters, since a command line is lower-cased before use.
class CLowerCaseDir
{
public:
    CLowerCaseDir() : m_path("/tmp/harvestly-ui-" + std::to_string(getpid()) + "-cmdline/")
    {
        std::filesystem::create_directories(m_path);
    }
    ~CLowerCaseDir() { std::filesystem::remove_all(m_path); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

TEST_F(ShortcutTest, WrittenFileIsExactOwnerOnlyAndReadsBack)
{
    CMainDlg& dialog = NewDialog();
    const std::string folder = m_dir.Path();
    ASSERT_TRUE(dialog.WriteShortcut("http://host/a/?q=a=b", folder, "user", "pa ss=word"));
    const std::string path = folder + "shortcut.url";
    EXPECT_EQ(ReadWholeFile(path), "[InternetShortcut]\r\nURL=http://host/a/?q=a=b\r\nUser=user\r\n"
                                   "Password=pa ss=word\r\n");
    struct stat info
    {
    };
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the password is in plain text";

    // Without the final separator the same file is replaced.
    std::string noSlash = folder;
    noSlash.pop_back();
    ASSERT_TRUE(dialog.WriteShortcut("http://other/", noSlash, "", ""));
    EXPECT_EQ(ReadWholeFile(path), "[InternetShortcut]\r\nURL=http://other/\r\nUser=\r\nPassword=\r\n");

    ASSERT_TRUE(dialog.WriteShortcut("http://host/a/?q=a=b", folder, "user", "pa ss=word"));
    CMainDlg& reader = NewDialog();
    reader.ReadShortcut(path);
    EXPECT_EQ(reader.m_strUrl, "http://host/a/?q=a=b") << "only the first '=' separates";
    EXPECT_EQ(reader.m_strDestination, folder);
    EXPECT_EQ(reader.m_strUserId, "user");
    EXPECT_EQ(reader.m_strPassword, "pa ss=word");
}

TEST_F(ShortcutTest, ReadingFollowsTheLinePositions)
{
    CMainDlg& dialog = NewDialog();
    dialog.m_strUrl = "http://kept/";
    dialog.m_strDestination = "/kept/";

    // Another key, or none, still gives the address; only shortcut.url gives the rest.
    WriteWholeFile(m_dir / "other.url", "[InternetShortcut]\nAddress=http://a/\nUser=u\n");
    dialog.ReadShortcut(m_dir / "other.url");
    EXPECT_EQ(dialog.m_strUrl, "http://a/");
    EXPECT_EQ(dialog.m_strDestination, "/kept/");
    WriteWholeFile(m_dir / "bare.url", "[InternetShortcut]\r\nhttp://bare/\r\n");
    dialog.ReadShortcut(m_dir / "bare.url");
    EXPECT_EQ(dialog.m_strUrl, "http://bare/");

    // A shortcut.url without the header keeps the address and shifts the other lines up.
    std::filesystem::create_directory(m_dir / "bad");
    WriteWholeFile(m_dir / "bad/shortcut.url", "[Other]\r\nUser=u2\r\nPassword=p2\r\n");
    dialog.ReadShortcut(m_dir / "bad/shortcut.url");
    EXPECT_EQ(dialog.m_strUrl, "http://bare/");
    EXPECT_EQ(dialog.m_strDestination, m_dir / "bad/");
    EXPECT_EQ(dialog.m_strUserId, "u2");
    EXPECT_EQ(dialog.m_strPassword, "p2");

    // The name is compared exactly: capitals make it an ordinary shortcut.
    std::filesystem::create_directory(m_dir / "caps");
    WriteWholeFile(m_dir / "caps/SHORTCUT.URL",
                   "[InternetShortcut]\r\nURL=http://caps/\r\nUser=x\r\nPassword=y\r\n");
    dialog.ReadShortcut(m_dir / "caps/SHORTCUT.URL");
    EXPECT_EQ(dialog.m_strUrl, "http://caps/");
    EXPECT_EQ(dialog.m_strDestination, m_dir / "bad/");
    EXPECT_EQ(dialog.m_strUserId, "u2");

    // An unreadable file changes nothing.
    dialog.ReadShortcut(m_dir / "missing.url");
    EXPECT_EQ(dialog.m_strUrl, "http://caps/");

    // An address line that is present but empty empties the address.
    WriteWholeFile(m_dir / "blank/shortcut.url", "[InternetShortcut]\r\nURL=\r\nUser=\r\nPassword=\r\n");
    dialog.ReadShortcut(m_dir / "blank/shortcut.url");
    EXPECT_EQ(dialog.m_strUrl, "");
    EXPECT_EQ(dialog.m_strUserId, "");
}

TEST_F(ShortcutTest, CommandLinesFillTheAddressAndShortcutFields)
{
    {
        CMainDlg& dialog = NewDialog();
        dialog.ProcessCommandLine("");
        dialog.show();
        EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "");
        dialog.reject();
    }
    {
        CMainDlg& dialog = NewDialog();
        dialog.ProcessCommandLine("HTTP://WWW.Example.COM/Docs/ second word");
        dialog.show();
        EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "http://www.example.com/docs/");
        dialog.reject();
    }
    {
        // A quoted word that names no readable file stays as it is, quotation mark included.
        CMainDlg& dialog = NewDialog();
        dialog.ProcessCommandLine("\"C:\\No Such\\Shortcut.url\"");
        EXPECT_EQ(dialog.m_strUrl, "\"c:\\no");
    }
    {
        CLowerCaseDir dir;
        WriteWholeFile(dir.Path() + "shortcut.url",
                       "[InternetShortcut]\r\nURL=http://saved/Site/\r\nUser=Me\r\nPassword=Secret\r\n");
        CMainDlg& dialog = NewDialog();
        dialog.ProcessCommandLine(dir.Path() + "SHORTCUT.URL extra");
        dialog.show();
        EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "http://saved/Site/");
        EXPECT_EQ(dialog.GetDlgItemText(IDC_DESTINATION).toStdString(), dir.Path());
        EXPECT_EQ(dialog.GetDlgItemText(IDC_USERID), "Me");
        EXPECT_EQ(dialog.GetDlgItemText(IDC_PASSWORD), "Secret");
        dialog.reject();
    }
    {
        // A folder with capitals in its name: the lower-cased path names nothing, the typed one does.
        CTempDir dir;
        WriteWholeFile(dir.Path() + "Sites/shortcut.url",
                       "[InternetShortcut]\r\nURL=http://saved/x/\r\nUser=u\r\n");
        CMainDlg& dialog = NewDialog();
        dialog.ProcessCommandLine(dir.Path() + "Sites/shortcut.url");
        EXPECT_EQ(dialog.m_strUrl, "http://saved/x/");
        EXPECT_EQ(dialog.m_strDestination, dir.Path() + "Sites/");
        EXPECT_EQ(dialog.m_strUserId, "u");
        dialog.reject();
    }
}

TEST_F(ShortcutTest, OpenShortcutButtonReadsTheChosenFileIntoTheControls)
{
    WriteWholeFile(m_dir / "site.url", "[InternetShortcut]\r\nURL=http://opened/\r\n");
    CMainDlg& dialog = NewDialog();
    dialog.show();
    dialog.Item<QLineEdit>(IDC_USERID)->setText("typed");

    QString filter;
    WhenModalAppears(
        [&](QWidget* pModal)
        {
            auto* pChooser = qobject_cast<QFileDialog*>(pModal);
            ASSERT_NE(pChooser, nullptr);
            filter = pChooser->nameFilters().join(";");
            // Typed into the name field, as a user would: selecting through the chooser's
            // folder model would race its asynchronous loading.
            auto* pName = pChooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(pName, nullptr);
            pName->setText(QString::fromStdString(m_dir / "site.url"));
            // Past the chooser's own checks, which race its asynchronous folder model.
            QMetaObject::invokeMethod(pChooser, "done", Q_ARG(int, QDialog::Accepted));
        });
    dialog.OnOpenShortcut();
    EXPECT_EQ(filter, "Internet Shortcut (*.url)");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "http://opened/");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_USERID), "typed") << "what was typed elsewhere is kept";

    WhenModalAppears([](QWidget* pModal) { qobject_cast<QDialog*>(pModal)->reject(); });
    dialog.OnOpenShortcut();
    EXPECT_EQ(dialog.GetDlgItemText(IDC_URL), "http://opened/");
    dialog.reject();
}
