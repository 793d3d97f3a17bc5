#include "ui/LinkLabels.h"

#include "app/AboutDlg.h"
#include "app/MainDlg.h"
#include "support/TestApp.h"
#include "support/gui/ShellRecorders.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace
{

void Send(QWidget& window, QEvent::Type type, const QPoint& point)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, point, window.mapToGlobal(point), button, button, Qt::NoModifier);
    QApplication::sendEvent(&window, &event);
}

QColor Shown(CTemplateDialog& window, int nId)
{
    return window.Item<QLabel>(nId)->palette().color(QPalette::WindowText);
}

QPoint CentreOf(CTemplateDialog& window, int nId)
{
    return window.GetDlgItem(nId)->geometry().center();
}

} // namespace

TEST(LinkLabelsTest, MainWindowLabelsTurnWhiteUnderThePointerAndOpenTheirTargets)
{
    CTestApp app;
    CTrayShellRecorder tray;
    CShellLauncherRecorder launcher;
    CMainDlg dialog(app.App(), &tray, &launcher);
    dialog.show();
    const QColor blue(0, 0, 255);
    const QColor white(255, 255, 255);
    EXPECT_EQ(Shown(dialog, IDC_WEB_LINK), blue);
    EXPECT_EQ(Shown(dialog, IDC_MAIL_LINK), blue);

    Send(dialog, QEvent::MouseMove, CentreOf(dialog, IDC_MAIL_LINK));
    EXPECT_EQ(Shown(dialog, IDC_MAIL_LINK), white);
    EXPECT_EQ(Shown(dialog, IDC_WEB_LINK), blue);
    Send(dialog, QEvent::MouseMove, CentreOf(dialog, IDC_WEB_LINK));
    EXPECT_EQ(Shown(dialog, IDC_MAIL_LINK), blue);
    EXPECT_EQ(Shown(dialog, IDC_WEB_LINK), white);
    // Over the caption beside it the label is itself again.
    Send(dialog, QEvent::MouseMove, CentreOf(dialog, IDC_WEB_LINK_LABEL));
    EXPECT_EQ(Shown(dialog, IDC_WEB_LINK), blue);

    Send(dialog, QEvent::MouseButtonPress, CentreOf(dialog, IDC_WEB_LINK));
    Send(dialog, QEvent::MouseButtonPress, CentreOf(dialog, IDC_MAIL_LINK));
    Send(dialog, QEvent::MouseButtonPress, CentreOf(dialog, IDC_MAIL_LINK_LABEL));
    EXPECT_EQ(launcher.m_targets,
              (std::vector<std::string>{"http://" + dialog.GetDlgItemText(IDC_WEB_LINK).toStdString(),
                                        "mailto:" + dialog.GetDlgItemText(IDC_MAIL_LINK).toStdString()}));
    EXPECT_EQ(launcher.m_targets[0], "http://harvestly.example");
    dialog.reject();
}

TEST(LinkLabelsTest, AboutBoxWebLabelOpensItsOwnTextAndHoverIsClearedOnOpening)
{
    CTestApp app;
    CShellLauncherRecorder launcher;
    CAboutDlg about(app.App(), launcher);
    about.LinkLabels().OnMouseMove(CentreOf(about, IDC_ABOUT_MAIL_LINK));
    EXPECT_TRUE(about.LinkLabels().IsMailHover());
    about.show();
    EXPECT_FALSE(about.LinkLabels().IsMailHover());
    EXPECT_EQ(Shown(about, IDC_ABOUT_MAIL_LINK), QColor(0, 0, 255));

    Send(about, QEvent::MouseButtonPress, CentreOf(about, IDC_ABOUT_WEB_LINK));
    Send(about, QEvent::MouseButtonPress, CentreOf(about, IDC_ABOUT_MAIL_LINK));
    EXPECT_EQ(launcher.m_targets,
              (std::vector<std::string>{"http://harvestly.example", "mailto:hi@harvestly.example"}));
    about.reject();
}
