#include "app/AboutDlg.h"
#include "app/MainDlg.h"
#include "support/TestApp.h"
#include "support/gui/ShellRecorders.h"
#include "ui/DialogUnits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

namespace
{

enum class Kind
{
    Label,
    Edit,
    Password,
    ReadOnly,
    Button,
    DefaultButton,
    Check,
    PushCheck,
    Combo,
    List,
    Progress,
};

enum class Area
{
    Top,
    Progress,
    Options,
    Links,
};

struct Expected
{
    int nId;
    Kind kind;
    const char* text; // null: not checked (texts filled at run time)
    Area area;
    bool bEnabled = true;
};

// Dialog 102 as the program's users know it: every control, its kind, label and panel.
const Expected kMainControls[] = {
    {1004, Kind::Label, "地址:", Area::Top},
    {1001, Kind::Edit, "", Area::Top},
    {1046, Kind::Button, "...", Area::Top},
    {1003, Kind::Label, "目标:", Area::Top},
    {1002, Kind::Edit, "", Area::Top},
    {1013, Kind::Button, "...", Area::Top},
    {1006, Kind::Label, "用户 ID:", Area::Top},
    {1008, Kind::Edit, "", Area::Top},
    {1007, Kind::Label, "口令:", Area::Top},
    {1009, Kind::Password, "", Area::Top},
    {1010, Kind::Check, "(&C)慢行:", Area::Top},
    {1000, Kind::DefaultButton, "(&G)连接", Area::Top},
    {1023, Kind::Label, "过程:", Area::Progress},
    {1021, Kind::Label, "", Area::Progress},
    {1032, Kind::PushCheck, "(&O)选项", Area::Top},
    {1024, Kind::Label, "未决的:", Area::Progress},
    {1022, Kind::Label, "", Area::Progress},
    {1005, Kind::Button, "(&X)退出", Area::Top},
    {1012, Kind::Label, "当前:", Area::Progress},
    {1011, Kind::ReadOnly, "", Area::Progress},
    {1015, Kind::Progress, nullptr, Area::Progress},
    {1016, Kind::ReadOnly, "", Area::Progress},
    {1039, Kind::ReadOnly, "", Area::Progress},
    {1025, Kind::List, nullptr, Area::Progress},
    {1019, Kind::Label, "文件检查:", Area::Options},
    {1020, Kind::Combo, nullptr, Area::Options},
    {1033, Kind::Label, "编号的再试:", Area::Options},
    {1026, Kind::Edit, "", Area::Options},
    {1030, Kind::Check, "不名字作为索引", Area::Options},
    {1027, Kind::Check, "继续在错误", Area::Options},
    {1055, Kind::Label, "深度:", Area::Options},
    {1056, Kind::Edit, "", Area::Options},
    {1054, Kind::Check, "秘密方式", Area::Options, false},
    {1053, Kind::Check, "允许过滤器", Area::Options},
    {1052, Kind::Button, "(&F)过滤器", Area::Options, false},
    {1057, Kind::Label, "访问 Harvestly主页:", Area::Links},
    {1044, Kind::Label, nullptr, Area::Links},
    {1058, Kind::Label, "把备注寄给:", Area::Links},
    {1045, Kind::Label, nullptr, Area::Links},
};

bool HasKind(QWidget* pWidget, Kind kind)
{
    auto* pEdit = qobject_cast<QLineEdit*>(pWidget);
    auto* pButton = qobject_cast<QPushButton*>(pWidget);
    switch (kind)
    {
    case Kind::Label:
        return qobject_cast<QLabel*>(pWidget) != nullptr;
    case Kind::Edit:
        return pEdit && !pEdit->isReadOnly() && pEdit->echoMode() == QLineEdit::Normal;
    case Kind::Password:
        return pEdit && pEdit->echoMode() == QLineEdit::Password;
    case Kind::ReadOnly:
        return pEdit && pEdit->isReadOnly();
    case Kind::Button:
        return pButton && !pButton->isCheckable() && !pButton->isDefault();
    case Kind::DefaultButton:
        return pButton && pButton->isDefault();
    case Kind::Check:
        return qobject_cast<QCheckBox*>(pWidget) != nullptr;
    case Kind::PushCheck:
        return pButton && pButton->isCheckable();
    case Kind::Combo:
        return qobject_cast<QComboBox*>(pWidget) != nullptr;
    case Kind::List:
        return qobject_cast<QListWidget*>(pWidget) != nullptr;
    case Kind::Progress:
        return qobject_cast<QProgressBar*>(pWidget) != nullptr;
    }
    return false;
}

class DialogTemplateTest : public ::testing::Test
{
protected:
    CTestApp m_app;
    CTrayShellRecorder m_tray;
    CShellLauncherRecorder m_launcher;
};

} // namespace

TEST(DialogUnitsTest, ConvertsLikeWindowsWithMulDivRounding)
{
    // "MS Sans Serif" 8 at 96 dots per inch: 6 by 13 pixels.
    const CDialogUnits units(6, 13);
    EXPECT_EQ(units.ToPixels(QRect(51, 7, 253, 12)), QRect(77, 11, 380, 20));
    EXPECT_EQ(units.ToPixels(QSize(330, 167)), QSize(495, 271));
    EXPECT_EQ(units.ToPixelsX(1), 2); // 1.5 rounds up
    EXPECT_EQ(units.ToPixelsY(3), 5); // 4.875

    // Built from a font, the horizontal base is the rounded average of the 52 letters and the
    // vertical base the font's height.
    const QFont font = CDialogUnits::DialogFont();
    const CDialogUnits fromFont(font);
    const QFontMetrics metrics(font);
    const int nLetters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(fromFont.BaseX(), (nLetters / 26 + 1) / 2);
    EXPECT_EQ(fromFont.BaseY(), metrics.height());
    EXPECT_GT(fromFont.BaseX(), 2);
}

TEST(DialogTemplateParseTest, RefusesMalformedTemplates)
{
    EXPECT_FALSE(CDialogTemplate::Parse("not json"));
    EXPECT_FALSE(CDialogTemplate::Parse(R"({"size": [10]})"));
    EXPECT_FALSE(
        CDialogTemplate::Parse(R"({"size": [10, 10], "controls": [{"kind": "gadget", "rect": [0,0,1,1]}]})"));
    EXPECT_FALSE(
        CDialogTemplate::Parse(R"({"size": [10, 10], "controls": [{"kind": "edit", "rect": [0,0]}]})"));
    const auto parsed =
        CDialogTemplate::Parse(R"({"id": 7, "size": [10, 20], "controls": [{"id": 3, "kind": "edit",
            "rect": [1,2,3,4], "visible": false, "style": ["password"]}]})");
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->controls.size(), 1u);
    EXPECT_EQ(parsed->controls[0].rect, QRect(1, 2, 3, 4));
    EXPECT_FALSE(parsed->controls[0].bVisible);
    EXPECT_TRUE(parsed->controls[0].bEnabled);
    EXPECT_TRUE(parsed->controls[0].HasStyle("password"));
}

TEST_F(DialogTemplateTest, MainWindowHasEveryControlWithItsKindTextAndState)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    EXPECT_EQ(dialog.Template().size, QSize(330, 167));
    EXPECT_EQ(dialog.Template().controls.size(), std::size(kMainControls));

    for (const Expected& expected : kMainControls)
    {
        SCOPED_TRACE(expected.nId);
        QWidget* pWidget = dialog.GetDlgItem(expected.nId);
        ASSERT_NE(pWidget, nullptr);
        EXPECT_TRUE(HasKind(pWidget, expected.kind));
        if (expected.text != nullptr)
        {
            EXPECT_EQ(dialog.GetDlgItemText(expected.nId).toStdString(), expected.text);
        }
        const bool bVisible = expected.area == Area::Top || expected.area == Area::Links;
        EXPECT_EQ(pWidget->isVisible(), bVisible);
        EXPECT_EQ(pWidget->isEnabled(), expected.bEnabled);
        EXPECT_FALSE(pWidget->accessibleName().isEmpty());
    }

    auto* pCombo = dialog.Item<QComboBox>(IDC_FILECHECK);
    ASSERT_EQ(pCombo->count(), 3);
    EXPECT_EQ(pCombo->itemText(0), "Skip Existing");
    EXPECT_EQ(pCombo->itemText(1), "Skip By Date, Replace");
    EXPECT_EQ(pCombo->itemText(2), "Skip By Date, Rename Old");
    EXPECT_EQ(dialog.Item<QCheckBox>(IDC_CRAWL)->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(dialog.Item<QLabel>(1004)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    EXPECT_NE(dialog.Item<QLabel>(IDC_PROCESSED)->frameStyle(), 0);
    dialog.reject();
}

TEST_F(DialogTemplateTest, ControlsSitAtTheirRectanglesInDialogUnits)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    const CDialogUnits& units = dialog.Units();
    EXPECT_EQ(dialog.GetDlgItem(IDC_URL)->geometry(), units.ToPixels(QRect(51, 7, 253, 12)));
    EXPECT_EQ(dialog.GetDlgItem(IDC_GO)->geometry(), units.ToPixels(QRect(7, 50, 50, 14)));
    EXPECT_EQ(dialog.GetDlgItem(IDC_PENDING_LIST)->geometry(), units.ToPixels(QRect(7, 98, 316, 51)));
    EXPECT_EQ(dialog.GetDlgItem(IDC_PASSWORD)->geometry(), units.ToPixels(QRect(221, 34, 53, 12)));
    EXPECT_EQ(dialog.width(), units.ToPixelsX(330));
    // A drop-down list is one line high when closed, at most its template height.
    const QRect combo = dialog.GetDlgItem(IDC_FILECHECK)->geometry();
    EXPECT_EQ(combo.topLeft(), units.ToPixels(QRect(49, 72, 115, 46)).topLeft());
    EXPECT_LT(combo.height(), units.ToPixelsY(46));
}

// The columns of `image` in which some pixel differs from the top-left one (the background).
static std::vector<int> InkedColumns(const QImage& image)
{
    std::vector<int> columns;
    const QRgb background = image.pixel(0, 0);
    for (int x = 0; x < image.width(); ++x)
    {
        for (int y = 0; y < image.height(); ++y)
        {
            if (image.pixel(x, y) != background)
            {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST_F(DialogTemplateTest, CheckBoxLabelsAreWholeAndAlignedAsTheirTemplatesSay)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    dialog.show();
    dialog.Item<QPushButton>(IDC_OPTIONS)->click();
    // No label is clipped: each check box is at least as wide as its text needs.
    for (const ControlTemplate& control : dialog.Template().controls)
    {
        if (control.kind != ControlKind::CheckBox || control.HasStyle("pushlike"))
            continue;
        SCOPED_TRACE(control.nId);
        QWidget* pBox = dialog.GetDlgItem(control.nId);
        EXPECT_GE(pBox->width(), pBox->sizeHint().width());
        EXPECT_EQ(pBox->y(), dialog.Units().ToPixelsY(control.rect.y()));
    }
    // "(&C)慢行:" keeps its box at the template's right edge and grows to the left.
    const QRect crawl = dialog.GetDlgItem(IDC_CRAWL)->geometry();
    EXPECT_EQ(crawl.right(), dialog.Units().ToPixels(QRect(285, 36, 38, 10)).right());
    EXPECT_GT(crawl.left(), dialog.GetDlgItem(IDC_PASSWORD)->geometry().right());

    // "继续在错误" is right-aligned: its ink reaches the control's right end, the box stays left.
    QWidget* pContinue = dialog.GetDlgItem(IDC_CONTINUE_ON_ERROR);
    ASSERT_EQ(pContinue->geometry(), dialog.Units().ToPixels(QRect(81, 91, 72, 10)));
    const std::vector<int> inked = InkedColumns(pContinue->grab().toImage());
    ASSERT_FALSE(inked.empty());
    EXPECT_LT(inked.front(), pContinue->height());
    EXPECT_GT(inked.back(), pContinue->width() - 6);
    // A left-aligned label leaves the right end bare: the one below it shows the difference.
    QWidget* pIndex = dialog.GetDlgItem(IDC_NONAME_AS_INDEX);
    pIndex->resize(pIndex->width() + 40, pIndex->height());
    EXPECT_LT(InkedColumns(pIndex->grab().toImage()).back(), pIndex->width() - 30);
    // The whole rectangle takes the click, the text's end included.
    QTest::mouseClick(pContinue, Qt::LeftButton, {}, QPoint(pContinue->width() - 3, pContinue->height() / 2));
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_CONTINUE_ON_ERROR), 1);
    dialog.reject();
}

TEST_F(DialogTemplateTest, InputsHaveTheirLabelsAsBuddiesAndAccessibleNames)
{
    CMainDlg dialog(m_app.App(), &m_tray, &m_launcher);
    const std::pair<int, int> kBuddies[] = {{1004, 1001}, {1003, 1002}, {1006, 1008}, {1007, 1009},
                                            {1012, 1011}, {1019, 1020}, {1033, 1026}, {1055, 1056}};
    for (const auto& [nLabel, nInput] : kBuddies)
    {
        SCOPED_TRACE(nInput);
        EXPECT_EQ(dialog.Item<QLabel>(nLabel)->buddy(), dialog.GetDlgItem(nInput));
    }
    EXPECT_EQ(dialog.GetDlgItem(IDC_URL)->accessibleName(), "地址");
    EXPECT_EQ(dialog.GetDlgItem(IDC_GO)->accessibleName(), "连接");
    EXPECT_EQ(dialog.GetDlgItem(IDC_USERID)->accessibleName(), "用户 ID");
    // Nothing precedes the rate edit but another edit: it keeps its own name, not a wrong label.
    EXPECT_EQ(dialog.Item<QLabel>(1024)->buddy(), nullptr);
    EXPECT_EQ(CTemplateDialog::AccessibleText("(&F)过滤器"), "过滤器");
    EXPECT_EQ(CTemplateDialog::AccessibleText("Save && &Quit:"), "Save & Quit");
}

TEST_F(DialogTemplateTest, AboutBoxShowsTheVersionTextAndItsLinks)
{
    CAboutDlg about(m_app.App(), m_launcher);
    EXPECT_EQ(about.GetDlgItemText(IDC_VERSION_TEXT), "AppName这里");
    about.show();
    EXPECT_EQ(about.GetDlgItemText(IDC_VERSION_TEXT).toStdString(), "Harvestly v1.12建造 90");
    EXPECT_EQ(about.windowTitle(), "关于 Harvestly");
    EXPECT_EQ(about.GetDlgItemText(1), "好");
    EXPECT_EQ(about.Template().size, QSize(249, 143));
    EXPECT_EQ(about.GetDlgItem(IDC_ABOUT_MAIL_LINK)->pos(),
              about.Units().ToPixels(QRect(40, 39, 69, 8)).topLeft());
    EXPECT_TRUE(about.GetDlgItemText(IDC_ABOUT_WEB_LINK).startsWith("http://"));
    about.reject();
}

namespace
{

// Counts its set-ups and notes whether it was already on screen at the first.
class CCountingDialog : public CTemplateDialog
{
public:
    CCountingDialog() : CTemplateDialog(IDD_ABOUTBOX) {}

    bool OnInitDialog() override
    {
        if (m_nSetUps++ == 0)
            m_bVisibleAtSetUp = isVisible();
        SetDlgItemText(IDC_VERSION_TEXT, QString::number(m_nSetUps));
        return true;
    }

    int m_nSetUps = 0;
    bool m_bVisibleAtSetUp = true;
};

} // namespace

TEST(TemplateDialogTest, EachDialogIsSetUpOnceBeforeItFirstAppears)
{
    // Shown and hidden twice, or run modally twice: set up before the first showing only.
    for (bool bModal : {false, true})
    {
        CCountingDialog dialog;
        EXPECT_EQ(dialog.m_nSetUps, 0) << "nothing is set up before the dialog is shown";
        for (int nShown = 0; nShown < 2; ++nShown)
        {
            if (bModal)
            {
                QTimer::singleShot(0, &dialog, &QDialog::reject);
                dialog.exec();
            }
            else
            {
                dialog.show();
                dialog.hide();
            }
        }
        EXPECT_EQ(dialog.m_nSetUps, 1) << bModal;
        EXPECT_FALSE(dialog.m_bVisibleAtSetUp) << bModal;
        EXPECT_EQ(dialog.GetDlgItemText(IDC_VERSION_TEXT), "1") << bModal;
    }
}
