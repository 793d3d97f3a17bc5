#include "app/MainDlg.h"
#include "support/OptionsFixture.h"
#include "support/gui/ModalHelper.h"
#include "support/gui/ShellRecorders.h"
#include "ui/FilterDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace
{

const std::string kRetriesMessage = "# of retries must be numeric value between 1 and 5.";
const std::string kDepthMessage = "Depth must be numeric.";

using Texts = std::vector<std::string>;

class OptionsHandlersTest : public ::testing::Test
{
protected:
    OptionsHandlersTest() : dialog(test.App(), &tray, &launcher) {}

    // Sets an edit's text as typing or pasting would; its change handler runs at once.
    void Type(int nId, const QString& text) { dialog.Item<QLineEdit>(nId)->setText(text); }
    QString TextOf(int nId) const { return dialog.GetDlgItemText(nId); }
    // A value the handler under test must overwrite, without the field's own handler running.
    void Preset(int nId, const QString& text)
    {
        const QSignalBlocker blocker(dialog.GetDlgItem(nId));
        dialog.SetDlgItemText(nId, text);
    }

    CTestApp test;
    CTrayShellRecorder tray;
    CShellLauncherRecorder launcher;
    CMainDlg dialog;
};

TEST_F(OptionsHandlersTest, RetriesTakeTheLeadingNumberCappedAtFive)
{
    struct Case
    {
        QString typed;
        std::uint32_t stored;
        QString shown;
    };
    const Case cases[] = {
        {"3x", 3, "3x"},
        {"9", 5, "5"},
        {"0", 0, "0"},
        {"2", 2, "2"},
        {"05", 5, "05"},
        {"6", 5, "5"},
        // Past the largest 32-bit number the value does not wrap round to a small one.
        {"4294967296", 5, "5"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed.toStdString());
        Preset(IDC_RETRIES, "1");
        test.StoreDword(kValueRetries, 1);
        Type(IDC_RETRIES, c.typed);
        EXPECT_EQ(StoredDword(kValueRetries), c.stored);
        EXPECT_EQ(TextOf(IDC_RETRIES), c.shown);
    }
    EXPECT_EQ(test.Boxes().Count(), 0u);

    // Typed key by key, every intermediate text is stored in turn.
    Preset(IDC_RETRIES, "");
    QTest::keyClicks(dialog.GetDlgItem(IDC_RETRIES), "4y");
    EXPECT_EQ(StoredDword(kValueRetries), 4u);
    EXPECT_EQ(TextOf(IDC_RETRIES), "4y");
    EXPECT_EQ(test.Boxes().Count(), 0u);
}

TEST_F(OptionsHandlersTest, RetriesNotStartingWithADigitAreRefusedWithOneMessage)
{
    for (const QString& typed : {QString(""), QString("x3"), QString(" 3"), QString("-1"), QString("٣")})
    {
        SCOPED_TRACE(typed.toStdString());
        test.Boxes().Clear();
        Preset(IDC_RETRIES, "2");
        test.StoreDword(kValueRetries, 2);
        Type(IDC_RETRIES, typed);
        EXPECT_EQ(test.Boxes().Texts(), Texts{kRetriesMessage})
            << "the emptied field raises no second message";
        EXPECT_EQ(TextOf(IDC_RETRIES), "");
        EXPECT_EQ(StoredDword(kValueRetries), 2u) << "nothing is written";
    }
}

TEST_F(OptionsHandlersTest, DepthLosesOneCharacterPerMessageUntilItIsNumeric)
{
    struct Case
    {
        QString typed;
        size_t nMessages;
        QString shown;
        std::uint32_t stored;
    };
    const Case cases[] = {
        {"12a", 1, "12", 12},
        {"1a2", 2, "1", 1}, // "1a2", then "1a", then "1"
        {"", 0, "", 0},     // an empty depth means no limit
        {"7", 0, "7", 7},
        {"a", 1, "", 0},
        {"3\xF0\x9F\x98\x80", 1, "3", 3}, // a character outside the basic plane goes whole
        {"99999999999", 0, "99999999999", 0x7FFFFFFF},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed.toStdString());
        test.Boxes().Clear();
        Preset(IDC_DEPTH, "4");
        test.StoreDword(kValueDepth, 4);
        Type(IDC_DEPTH, c.typed);
        EXPECT_EQ(test.Boxes().Texts(), Texts(c.nMessages, kDepthMessage));
        EXPECT_EQ(TextOf(IDC_DEPTH), c.shown);
        EXPECT_EQ(StoredDword(kValueDepth), c.stored);
    }
}

TEST_F(OptionsHandlersTest, CheckBoxesAndTheComboStoreTheirStateAsTheyChange)
{
    dialog.show();
    dialog.Item<QAbstractButton>(IDC_OPTIONS)->click();

    struct Box
    {
        int nId;
        const char* name;
    };
    for (const Box& box :
         {Box{IDC_CONTINUE_ON_ERROR, kValueContinueOnError}, Box{IDC_NONAME_AS_INDEX, kValueNoNameAsIndex},
          Box{IDC_USE_FILTERS, kValueUseFilters}})
    {
        SCOPED_TRACE(box.name);
        auto* pBox = dialog.Item<QAbstractButton>(box.nId);
        pBox->click();
        EXPECT_EQ(StoredDword(box.name), 1u);
        pBox->click();
        EXPECT_EQ(StoredDword(box.name), 0u);
    }

    // Stealth is disabled in the window; its handler still stores what the box shows.
    dialog.CheckDlgButton(IDC_STEALTH, 1);
    dialog.OnStealth();
    EXPECT_EQ(StoredDword(kValueStealth), 1u);
    dialog.CheckDlgButton(IDC_STEALTH, 0);
    dialog.OnStealth();
    EXPECT_EQ(StoredDword(kValueStealth), 0u);

    auto* pCombo = dialog.Item<QComboBox>(IDC_FILECHECK);
    for (int nIndex : {2, 1, 0})
    {
        pCombo->setCurrentIndex(nIndex);
        emit pCombo->activated(nIndex);
        EXPECT_EQ(StoredDword(kValueFileCheck), std::uint32_t(nIndex));
    }
    EXPECT_EQ(test.Boxes().Count(), 0u);
    dialog.reject();
}

TEST_F(OptionsHandlersTest, UseFiltersEnablesTheFilterButtonBeforeStoring)
{
    auto* pUse = dialog.Item<QAbstractButton>(IDC_USE_FILTERS);
    QWidget* pFilter = dialog.GetDlgItem(IDC_FILTER);
    ASSERT_FALSE(pFilter->isEnabled());
    pUse->click();
    EXPECT_TRUE(pFilter->isEnabled());
    EXPECT_EQ(StoredDword(kValueUseFilters), 1u);
    pUse->click();
    EXPECT_FALSE(pFilter->isEnabled());
    EXPECT_EQ(StoredDword(kValueUseFilters), 0u);

    // A store that refuses the value still leaves the button following the box.
    CLockedStore locked(test);
    pUse->click();
    EXPECT_TRUE(pFilter->isEnabled());
}

TEST_F(OptionsHandlersTest, OptionsOnAFreshProfileCreateTheKeyAndStoreZeros)
{
    ASSERT_FALSE(FileSystem::Exists(CRegistryKey::StorePath(kSettingsKeyPath)));
    dialog.show();
    dialog.Item<QAbstractButton>(IDC_OPTIONS)->click();
    EXPECT_TRUE(FileSystem::Exists(CRegistryKey::StorePath(kSettingsKeyPath)));
    EXPECT_EQ(TextOf(IDC_RETRIES), "0");
    EXPECT_EQ(TextOf(IDC_DEPTH), "0");
    EXPECT_EQ(StoredDword(kValueRetries), 0u);
    EXPECT_EQ(StoredDword(kValueDepth), 0u);
    EXPECT_EQ(test.Boxes().Count(), 0u);
    dialog.reject();
}

TEST_F(OptionsHandlersTest, EachHandlerNamesTheValueAStoreRefuses)
{
    struct Handler
    {
        const char* name;
        std::function<void()> change;
    };
    const Handler handlers[] = {
        {kValueContinueOnError, [&] { dialog.Item<QAbstractButton>(IDC_CONTINUE_ON_ERROR)->click(); }},
        {kValueNoNameAsIndex, [&] { dialog.Item<QAbstractButton>(IDC_NONAME_AS_INDEX)->click(); }},
        {kValueStealth,
         [&]
         {
             dialog.CheckDlgButton(IDC_STEALTH, 1);
             dialog.OnStealth();
         }},
        {kValueFileCheck,
         [&]
         {
             dialog.Item<QComboBox>(IDC_FILECHECK)->setCurrentIndex(2);
             dialog.OnFileCheckChange();
         }},
        {kValueUseFilters, [&] { dialog.Item<QAbstractButton>(IDC_USE_FILTERS)->click(); }},
        {kValueRetries, [&] { Type(IDC_RETRIES, "3"); }},
        {kValueDepth, [&] { Type(IDC_DEPTH, "3"); }},
    };
    for (const Handler& handler : handlers)
        test.StoreDword(handler.name, 0);

    CLockedStore locked(test);
    for (const Handler& handler : handlers)
    {
        SCOPED_TRACE(handler.name);
        test.Boxes().Clear();
        handler.change();
        EXPECT_EQ(test.Boxes().Texts(),
                  Texts{std::string("Unable to set ") + handler.name + " to registry."});
        EXPECT_EQ(StoredDword(handler.name), 0u) << "the old value stays";
    }
}

TEST_F(OptionsHandlersTest, AKeyThatCannotBeOpenedShowsOnlyItsOwnMessage)
{
    CLockedStore locked(test, StoreLock::CannotCreate);
    dialog.Item<QAbstractButton>(IDC_CONTINUE_ON_ERROR)->click();
    Type(IDC_RETRIES, "9");
    Type(IDC_DEPTH, "2");
    EXPECT_EQ(test.Boxes().Texts(), (Texts{kBuildKeyMessage, kBuildKeyMessage, kBuildKeyMessage}));
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_CONTINUE_ON_ERROR), 1) << "the control keeps the user's change";
    EXPECT_EQ(TextOf(IDC_RETRIES), "5");
    EXPECT_FALSE(FileSystem::Exists(CRegistryKey::StorePath(kSettingsKeyPath))) << "nothing was stored";
}

// Runs the Filter button with `inDialog` acting on the filter dialog before it closes.
void PressFilter(CMainDlg& dialog, std::function<void(CFilterDlg&)> inDialog)
{
    bool bSeen = false;
    WhenModalAppears(
        [&bSeen, inDialog](QWidget* pModal)
        {
            auto* pFilterDlg = qobject_cast<CFilterDlg*>(pModal);
            if (pFilterDlg == nullptr)
            {
                pModal->close();
                return;
            }
            bSeen = true;
            inDialog(*pFilterDlg);
            if (pFilterDlg->isVisible())
                pFilterDlg->reject();
        });
    dialog.Item<QAbstractButton>(IDC_FILTER)->click();
    EXPECT_TRUE(bSeen) << "the Filter button runs the filter dialog";
}

void RemoveAllAndOk(CFilterDlg& filterDlg)
{
    auto* pList = filterDlg.Item<QListWidget>(IDC_FILTER_LIST);
    while (pList->count() > 0)
    {
        pList->setCurrentRow(0);
        filterDlg.Item<QPushButton>(IDC_FILTER_REMOVE)->click();
    }
    filterDlg.Item<QPushButton>(1)->click();
}

TEST_F(OptionsHandlersTest, FilterSwitchesFilteringOffOnlyWhenTheListIsLeftEmpty)
{
    test.StoreString(kValueFilter, "*.gif;*.jpg");
    dialog.show();
    dialog.Item<QAbstractButton>(IDC_USE_FILTERS)->click();
    ASSERT_TRUE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());

    // Cancelled with entries stored: filtering stays on.
    PressFilter(dialog, [](CFilterDlg& filterDlg) { filterDlg.reject(); });
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_USE_FILTERS), 1);
    EXPECT_TRUE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());
    EXPECT_EQ(StoredDword(kValueUseFilters), 1u);
    EXPECT_EQ(test.Boxes().Count(), 0u);

    // Every entry removed and OK: the warning, then the box unchecked, the button off, 0 stored.
    PressFilter(dialog, RemoveAllAndOk);
    EXPECT_EQ(StoredString(kValueFilter), "");
    EXPECT_EQ(test.Boxes().Texts(), Texts{"No filters entered.  Filtering will be disabled."});
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_USE_FILTERS), 0);
    EXPECT_FALSE(dialog.GetDlgItem(IDC_FILTER)->isEnabled());
    EXPECT_EQ(StoredDword(kValueUseFilters), 0u);

    // A list that was empty already switches filtering off even when the dialog is cancelled.
    dialog.Item<QAbstractButton>(IDC_USE_FILTERS)->click();
    test.Boxes().Clear();
    PressFilter(dialog, [](CFilterDlg& filterDlg) { filterDlg.reject(); });
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_USE_FILTERS), 0);
    EXPECT_EQ(StoredDword(kValueUseFilters), 0u);
    EXPECT_EQ(test.Boxes().Count(), 0u);
    dialog.reject();
}

} // namespace
