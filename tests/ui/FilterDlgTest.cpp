#include "ui/FilterDlg.h"

#include "support/OptionsFixture.h"
#include "support/gui/ModalHelper.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

const std::string kNoFilters = "No filters entered.  Filtering will be disabled.";

using Entries = std::vector<std::string>;

Entries EntriesOf(const CFilterDlg& dialog)
{
    Entries entries;
    for (const QString& entry : dialog.Entries())
        entries.push_back(entry.toStdString());
    return entries;
}

class FilterDlgTest : public ::testing::Test
{
protected:
    // Types into the edit and presses ">>", as the user would.
    static void Add(CFilterDlg& dialog, const QString& text)
    {
        dialog.Item<QLineEdit>(IDC_FILTER_ENTRY)->setText(text);
        dialog.Item<QPushButton>(IDC_FILTER_ADD)->click();
    }

    static void SelectAndRemove(CFilterDlg& dialog, const QString& text)
    {
        auto* pList = dialog.Item<QListWidget>(IDC_FILTER_LIST);
        const QList<QListWidgetItem*> found = pList->findItems(text, Qt::MatchExactly);
        ASSERT_FALSE(found.isEmpty()) << text.toStdString();
        pList->setCurrentItem(found.front());
        dialog.Item<QPushButton>(IDC_FILTER_REMOVE)->click();
    }

    static void PressOk(CFilterDlg& dialog) { dialog.Item<QPushButton>(1)->click(); }

    CTestApp test;
};

TEST_F(FilterDlgTest, TemplateHasItsFiveControlsAndOkButNoCancel)
{
    CFilterDlg dialog(test.App());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "文件过滤器");
    EXPECT_EQ(dialog.Template().size, QSize(124, 79));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint) << "the close box cancels";

    ASSERT_NE(dialog.Item<QLineEdit>(IDC_FILTER_ENTRY), nullptr);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_FILTER_ENTRY), "");
    auto* pAdd = dialog.Item<QPushButton>(IDC_FILTER_ADD);
    auto* pRemove = dialog.Item<QPushButton>(IDC_FILTER_REMOVE);
    ASSERT_NE(pAdd, nullptr);
    ASSERT_NE(pRemove, nullptr);
    EXPECT_EQ(pAdd->text(), ">>");
    EXPECT_EQ(pRemove->text(), "<<");
    EXPECT_FALSE(pAdd->isEnabled());
    EXPECT_FALSE(pRemove->isEnabled());
    ASSERT_NE(dialog.Item<QListWidget>(IDC_FILTER_LIST), nullptr);
    auto* pExclude = dialog.Item<QCheckBox>(IDC_FILTER_EXCLUDE);
    ASSERT_NE(pExclude, nullptr);
    EXPECT_EQ(pExclude->text(), "(&X)排除");
    auto* pOk = dialog.Item<QPushButton>(1);
    ASSERT_NE(pOk, nullptr);
    EXPECT_EQ(pOk->text(), "好");
    EXPECT_TRUE(pOk->isDefault());
    EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 3) << ">>, << and OK only";
}

TEST_F(FilterDlgTest, OpeningSplitsTheStoredListSortsItAndSelectsNothing)
{
    struct Case
    {
        const char* stored;
        Entries expected;
    };
    const Case cases[] = {
        {"a;;b", {"", "a", "b"}},
        {"a;b;", {"a", "b"}},
        {";", {""}},
        {"zeta;Alpha;beta;alpha", {"Alpha", "alpha", "beta", "zeta"}},
        {"beta;Zeta;alpha", {"alpha", "beta", "Zeta"}}, // alphabetical, not by character code
        {"*.gif; *.jpg", {" *.jpg", "*.gif"}},
        {"", {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.stored);
        test.StoreString(kValueFilter, c.stored);
        CFilterDlg dialog(test.App());
        dialog.show();
        EXPECT_EQ(EntriesOf(dialog), c.expected);
        EXPECT_TRUE(dialog.Item<QListWidget>(IDC_FILTER_LIST)->selectedItems().isEmpty());
        EXPECT_FALSE(dialog.GetDlgItem(IDC_FILTER_ADD)->isEnabled());
        EXPECT_FALSE(dialog.GetDlgItem(IDC_FILTER_REMOVE)->isEnabled());
    }

    // The Exclude box shows the stored choice; an absent one reads as 0.
    {
        CFilterDlg dialog(test.App());
        dialog.show();
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FILTER_EXCLUDE), 0);
    }
    test.StoreDword(kValueFilterExclude, 1);
    CFilterDlg dialog(test.App());
    dialog.show();
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FILTER_EXCLUDE), 1);
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

TEST_F(FilterDlgTest, AddAndRemoveFollowTheEditAndTheSelection)
{
    test.StoreString(kValueFilter, "m");
    CFilterDlg dialog(test.App());
    dialog.show();
    auto* pEdit = dialog.Item<QLineEdit>(IDC_FILTER_ENTRY);
    auto* pList = dialog.Item<QListWidget>(IDC_FILTER_LIST);
    QWidget* pAdd = dialog.GetDlgItem(IDC_FILTER_ADD);
    QWidget* pRemove = dialog.GetDlgItem(IDC_FILTER_REMOVE);

    QTest::keyClicks(pEdit, "z");
    EXPECT_TRUE(pAdd->isEnabled());
    QTest::keyClick(pEdit, Qt::Key_Backspace);
    EXPECT_FALSE(pAdd->isEnabled()) << "an empty edit cannot be added";
    EXPECT_FALSE(dialog.IsChanged());

    Add(dialog, "z*");
    Add(dialog, "a*");
    EXPECT_EQ(EntriesOf(dialog), (Entries{"a*", "m", "z*"})) << "each entry goes to its sorted place";
    EXPECT_EQ(pEdit->text(), "");
    EXPECT_FALSE(pAdd->isEnabled());
    EXPECT_TRUE(pList->selectedItems().isEmpty()) << "an added entry is not selected";
    EXPECT_FALSE(pRemove->isEnabled());
    EXPECT_TRUE(dialog.IsChanged());

    pList->setCurrentRow(1);
    EXPECT_TRUE(pRemove->isEnabled());
    pList->clearSelection();
    EXPECT_FALSE(pRemove->isEnabled());

    SelectAndRemove(dialog, "m");
    EXPECT_EQ(EntriesOf(dialog), (Entries{"a*", "z*"}));
    EXPECT_TRUE(pList->selectedItems().isEmpty()) << "no neighbour is selected after a deletion";
    EXPECT_FALSE(pRemove->isEnabled());
    EXPECT_EQ(test.Boxes().Count(), 0u);
    EXPECT_EQ(StoredString(kValueFilter), "m") << "nothing is stored before OK";
}

TEST_F(FilterDlgTest, OkStoresEveryEntryAsTypedInListOrder)
{
    test.StoreString(kValueFilter, "c");
    CFilterDlg dialog(test.App());
    dialog.show();
    Add(dialog, "b");
    Add(dialog, "a");
    Add(dialog, "b");
    Add(dialog, "  ");
    Add(dialog, "*.GIF ");
    dialog.CheckDlgButton(IDC_FILTER_EXCLUDE, 1);
    PressOk(dialog);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    // Sorted, not in the order added; duplicates and blanks kept, nothing trimmed or folded.
    EXPECT_EQ(StoredString(kValueFilter), "  ;*.GIF ;a;b;b;c");
    EXPECT_EQ(StoredDword(kValueFilterExclude), 1u);
    EXPECT_EQ(test.Boxes().Count(), 0u);

    // Reopened, the list is the one stored.
    CFilterDlg reopened(test.App());
    reopened.show();
    EXPECT_EQ(EntriesOf(reopened), (Entries{"  ", "*.GIF ", "a", "b", "b", "c"}));
    EXPECT_EQ(reopened.IsDlgButtonChecked(IDC_FILTER_EXCLUDE), 1);
}

TEST_F(FilterDlgTest, OkWithoutAddOrRemoveStoresNothingAndSaysNothing)
{
    // The Exclude box alone is not a change of the list.
    test.StoreString(kValueFilter, "x");
    {
        CFilterDlg dialog(test.App());
        dialog.show();
        dialog.CheckDlgButton(IDC_FILTER_EXCLUDE, 1);
        PressOk(dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(StoredString(kValueFilter), "x");
    EXPECT_EQ(StoredDword(kValueFilterExclude), std::nullopt);

    // Not even with an empty list.
    test.StoreString(kValueFilter, "");
    {
        CFilterDlg dialog(test.App());
        dialog.show();
        PressOk(dialog);
    }
    EXPECT_EQ(StoredString(kValueFilter), "");
    EXPECT_EQ(StoredDword(kValueFilterExclude), std::nullopt);
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

TEST_F(FilterDlgTest, RemovingTheLastEntryStoresAnEmptyListAndWarns)
{
    test.StoreString(kValueFilter, "*.zip");
    test.StoreDword(kValueFilterExclude, 1);
    CFilterDlg dialog(test.App());
    dialog.show();
    SelectAndRemove(dialog, "*.zip");
    dialog.CheckDlgButton(IDC_FILTER_EXCLUDE, 0);
    PressOk(dialog);

    EXPECT_EQ(StoredString(kValueFilter), "");
    EXPECT_EQ(StoredDword(kValueFilterExclude), 0u);
    EXPECT_EQ(test.Boxes().Texts(), (std::vector<std::string>{kNoFilters}));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(FilterDlgTest, EnterClosesThroughOkWithoutAddingAndEscapeStoresNothing)
{
    test.StoreString(kValueFilter, "a");
    int nResult = -1;
    {
        CFilterDlg dialog(test.App());
        WhenModalAppears(
            [](QWidget* pModal)
            {
                auto* pDialog = qobject_cast<CFilterDlg*>(pModal);
                ASSERT_NE(pDialog, nullptr);
                Add(*pDialog, "x");
                QLineEdit* pEdit = pDialog->Item<QLineEdit>(IDC_FILTER_ENTRY);
                pEdit->setFocus();
                QTest::keyClicks(pEdit, "typed");
                QTest::keyClick(pEdit, Qt::Key_Return);
                // Still open here means Enter did not close it; end the loop so the test fails cleanly.
                if (pDialog->isVisible())
                    pDialog->reject();
            });
        nResult = dialog.DoModal();
    }
    EXPECT_EQ(nResult, QDialog::Accepted);
    EXPECT_EQ(StoredString(kValueFilter), "a;x") << "the edit's text is not added";

    // Escape (or the close box) cancels: the changes are dropped.
    {
        CFilterDlg dialog(test.App());
        WhenModalAppears(
            [](QWidget* pModal)
            {
                auto* pDialog = qobject_cast<CFilterDlg*>(pModal);
                ASSERT_NE(pDialog, nullptr);
                SelectAndRemove(*pDialog, "a");
                QTest::keyClick(pDialog, Qt::Key_Escape);
                if (pDialog->isVisible())
                    pDialog->accept();
            });
        nResult = dialog.DoModal();
    }
    EXPECT_EQ(nResult, QDialog::Rejected);
    {
        CFilterDlg dialog(test.App());
        WhenModalAppears(
            [](QWidget* pModal)
            {
                auto* pDialog = qobject_cast<CFilterDlg*>(pModal);
                ASSERT_NE(pDialog, nullptr);
                Add(*pDialog, "y");
                pDialog->close();
                if (pDialog->isVisible())
                    pDialog->accept();
            });
        nResult = dialog.DoModal();
    }
    EXPECT_EQ(nResult, QDialog::Rejected);
    EXPECT_EQ(StoredString(kValueFilter), "a;x");
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

TEST_F(FilterDlgTest, AStoreThatRefusesWritesGivesBothMessagesAndKeepsTheOldValues)
{
    test.StoreString(kValueFilter, "old");
    test.StoreDword(kValueFilterExclude, 0);
    {
        CLockedStore locked(test);
        CFilterDlg dialog(test.App());
        dialog.show();
        EXPECT_EQ(EntriesOf(dialog), (Entries{"old"})) << "a read-only store still opens";
        SelectAndRemove(dialog, "old");
        dialog.CheckDlgButton(IDC_FILTER_EXCLUDE, 1);
        PressOk(dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(test.Boxes().Texts(),
              (std::vector<std::string>{"Unable to set Filter to registry.",
                                        "Unable to set FilterExclude to registry.", kNoFilters}));
    EXPECT_EQ(StoredString(kValueFilter), "old");
    EXPECT_EQ(StoredDword(kValueFilterExclude), 0u);
}

TEST_F(FilterDlgTest, AKeyThatCannotBeOpenedOpensEmptyAndReportsAgainAtOk)
{
    {
        CLockedStore locked(test, StoreLock::CannotCreate);
        CFilterDlg dialog(test.App());
        dialog.show();
        EXPECT_EQ(EntriesOf(dialog), Entries{});
        EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FILTER_EXCLUDE), 0);
        EXPECT_EQ(test.Boxes().Texts(), (std::vector<std::string>{kBuildKeyMessage}));
        Add(dialog, "new");
        dialog.CheckDlgButton(IDC_FILTER_EXCLUDE, 1);
        PressOk(dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(test.Boxes().Texts(), (std::vector<std::string>{kBuildKeyMessage, kBuildKeyMessage}));
    EXPECT_FALSE(FileSystem::Exists(CRegistryKey::StorePath(kSettingsKeyPath))) << "nothing was stored";
}

} // namespace
