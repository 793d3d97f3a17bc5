#include "ui/MoreOptionsDlg.h"

#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"
#include "support/OptionsFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

class MoreOptionsDlgTest : public ::testing::Test
{
protected:
    CTestApp test;
};

TEST_F(MoreOptionsDlgTest, ShowsTheStoredValuesAndStoresEachTheMomentItChanges)
{
    test.StoreDword(kValueRobots, 1);
    test.StoreDword(kValueResume, 1);
    test.StoreDword(kValueWaitMs, 250);
    CMoreOptionsDlg dialog(test.App());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "更多选项");

    const struct
    {
        int nId;
        const char* text;
        const char* pszValue;
        bool bStored;
    } checks[] = {
        {IDC_MORE_ALLOW_HTTPS, "(&S)允许 HTTPS 网址", kValueAllowHttps, false},
        {IDC_MORE_HTML_WITH_PARAMETERS, "(&C)读取带字符集的网页", kValueHtmlWithParameters, false},
        {IDC_MORE_FOLLOW_CSS, "(&Y)跟随样式表", kValueFollowCss, false},
        {IDC_MORE_ROBOTS, "(&R)遵守 robots.txt", kValueRobots, true},
        {IDC_MORE_CONVERT_LINKS, "(&L)转换链接以便离线浏览", kValueConvertLinks, false},
        {IDC_MORE_COMPRESSED, "(&Z)请求压缩传输", kValueCompressed, false},
        {IDC_MORE_RESUME, "(&E)断点续传", kValueResume, true},
    };
    for (const auto& check : checks)
    {
        auto* pBox = dialog.Item<QCheckBox>(check.nId);
        ASSERT_NE(pBox, nullptr) << check.text;
        EXPECT_EQ(pBox->text(), check.text);
        EXPECT_EQ(pBox->isChecked(), check.bStored) << check.text;
        pBox->click();
        EXPECT_EQ(StoredDword(check.pszValue), std::optional<std::uint32_t>(check.bStored ? 0 : 1))
            << check.text;
        pBox->click();
        EXPECT_EQ(StoredDword(check.pszValue), std::optional<std::uint32_t>(check.bStored ? 1 : 0))
            << check.text;
    }

    const struct
    {
        int nId;
        int nLabelId;
        const char* label;
        const char* pszValue;
        const char* shown;
    } numbers[] = {
        {IDC_MORE_WAIT, IDC_MORE_WAIT_LABEL, "(&W)等待 (毫秒):", kValueWaitMs, "250"},
        {IDC_MORE_LIMIT_RATE, IDC_MORE_LIMIT_RATE_LABEL, "(&M)限速 (字节/秒):", kValueLimitRate, "0"},
    };
    for (const auto& number : numbers)
    {
        auto* pEdit = dialog.Item<QLineEdit>(number.nId);
        ASSERT_NE(pEdit, nullptr) << number.label;
        EXPECT_EQ(pEdit->text(), number.shown);
        auto* pLabel = dialog.Item<QLabel>(number.nLabelId);
        ASSERT_NE(pLabel, nullptr);
        EXPECT_EQ(pLabel->text(), number.label);
        EXPECT_EQ(pLabel->buddy(), pEdit) << "the mnemonic reaches the field";
        pEdit->selectAll();
        QTest::keyClicks(pEdit, "1500");
        EXPECT_EQ(StoredDword(number.pszValue), std::optional<std::uint32_t>(1500)) << number.label;
        EXPECT_EQ(test.Boxes().Count(), 0u);
        QTest::keyClicks(pEdit, "x");
        EXPECT_EQ(pEdit->text(), "1500") << "a letter is taken back";
        EXPECT_EQ(test.Boxes().Count(), 1u) << number.label;
        EXPECT_EQ(StoredDword(number.pszValue), std::optional<std::uint32_t>(1500));
        pEdit->setText("99999999999");
        EXPECT_EQ(StoredDword(number.pszValue), std::optional<std::uint32_t>(0xFFFFFFFFu)) << "no wrap";
        test.Boxes().Clear();
    }

    // The transfers at once go up to 8: a larger number is refused and taken back.
    auto* pConnections = dialog.Item<QLineEdit>(IDC_MORE_CONNECTIONS);
    ASSERT_NE(pConnections, nullptr);
    EXPECT_EQ(pConnections->text(), "0");
    EXPECT_EQ(dialog.Item<QLabel>(IDC_MORE_CONNECTIONS_LABEL)->text(), "(&N)连接数 (1-8):");
    EXPECT_EQ(dialog.Item<QLabel>(IDC_MORE_CONNECTIONS_LABEL)->buddy(), pConnections);
    pConnections->selectAll();
    QTest::keyClicks(pConnections, "8");
    EXPECT_EQ(StoredDword(kValueConnections), std::optional<std::uint32_t>(8));
    QTest::keyClicks(pConnections, "0");
    EXPECT_EQ(pConnections->text(), "8");
    EXPECT_EQ(test.Boxes().Texts(), std::vector<std::string>{"Connections must be a number from 0 to 8."});
    EXPECT_EQ(StoredDword(kValueConnections), std::optional<std::uint32_t>(8));

    dialog.Item<QPushButton>(1)->click();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MoreOptionsDlgTest, AStoreThatCannotBeWrittenIsReportedAndNothingElseChanges)
{
    test.StoreDword(kValueRobots, 1);
    CMoreOptionsDlg dialog(test.App());
    dialog.show();
    {
        CLockedStore locked(test, StoreLock::ReadOnly);
        dialog.Item<QCheckBox>(IDC_MORE_CONVERT_LINKS)->click();
    }
    EXPECT_EQ(test.Boxes().Texts(), std::vector<std::string>{"Unable to set ConvertLinks to registry."});
    EXPECT_EQ(StoredDword(kValueConvertLinks), std::nullopt);
    EXPECT_EQ(StoredDword(kValueRobots), std::optional<std::uint32_t>(1));
}

} // namespace
