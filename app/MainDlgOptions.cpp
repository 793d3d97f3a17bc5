#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "res/StringTable.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"
#include "ui/FilterDlg.h"

#include <QComboBox>
#include <QMenu>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdint>
#include <iterator>

// The options panel's handlers. Each stores its control's value as soon as it changes, so the
// next run, which reads the store itself, uses what the panel shows.

namespace
{

constexpr std::uint32_t kMaxRetries = 5;
// Longer digit strings stop here rather than wrap, so the field shows back what was stored.
constexpr std::uint64_t kLargestNumber = 0x7FFFFFFF;

// Only ASCII digits count: other scripts' digits are not numbers to the store's readers.
bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

std::uint32_t LeadingNumber(const QString& text)
{
    std::uint64_t nValue = 0;
    for (QChar c : text)
    {
        if (!IsDigit(c))
            break;
        nValue = std::min(nValue * 10 + (c.unicode() - '0'), kLargestNumber);
    }
    return static_cast<std::uint32_t>(nValue);
}

// The text less its last character, a character outside the basic plane taken whole.
QString WithoutLastCharacter(const QString& text)
{
    const bool bPair =
        text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate();
    return text.chopped(bPair ? 2 : 1);
}

void WriteSetting(std::uint32_t nValue, const char* pszName)
{
    CRegistryKey key(CMainApp::Instance());
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return;
    if (!key.WriteDword(nValue, pszName))
        ShowMessageBox(std::string("Unable to set ") + pszName + " to registry.");
    key.Close();
}

} // namespace

void CMainDlg::OnContinueOnError()
{
    WriteSetting(IsDlgButtonChecked(IDC_CONTINUE_ON_ERROR), kValueContinueOnError);
}

void CMainDlg::OnNoNameAsIndex()
{
    WriteSetting(IsDlgButtonChecked(IDC_NONAME_AS_INDEX), kValueNoNameAsIndex);
}

void CMainDlg::OnStealth()
{
    WriteSetting(IsDlgButtonChecked(IDC_STEALTH), kValueStealth);
}

void CMainDlg::OnFileCheckChange()
{
    const int nIndex = Item<QComboBox>(IDC_FILECHECK)->currentIndex();
    // No selection is no mode at all; storing it would read back as a date check.
    if (nIndex < 0)
        return;
    WriteSetting(static_cast<std::uint32_t>(nIndex), kValueFileCheck);
}

void CMainDlg::OnUseFilters()
{
    const int nCheck = IsDlgButtonChecked(IDC_USE_FILTERS);
    EnableItem(IDC_FILTER, nCheck == 1);
    WriteSetting(nCheck, kValueUseFilters);
}

void CMainDlg::OnRetriesChange()
{
    const QString strText = GetDlgItemText(IDC_RETRIES);
    // The field's own corrections are not the user's input: without the blocker an emptied
    // field would fail the same test again, message after message.
    const auto setOwnText = [this](const QString& text)
    {
        const QSignalBlocker blocker(GetDlgItem(IDC_RETRIES));
        SetDlgItemText(IDC_RETRIES, text);
    };

    if (strText.isEmpty() || !IsDigit(strText.front()))
    {
        ShowMessageBox("# of retries must be numeric value between 1 and 5.");
        setOwnText(QString());
        return;
    }
    std::uint32_t nRetries = LeadingNumber(strText);
    if (nRetries > kMaxRetries)
    {
        setOwnText(QString::number(kMaxRetries));
        nRetries = kMaxRetries;
    }
    WriteSetting(nRetries, kValueRetries);
}

void CMainDlg::OnDepthChange()
{
    const QString strText = GetDlgItemText(IDC_DEPTH);
    if (std::all_of(strText.begin(), strText.end(), IsDigit))
    {
        WriteSetting(LeadingNumber(strText), kValueDepth);
        return;
    }
    ShowMessageBox("Depth must be numeric.");
    // Not blocked: the shortened text is a change of its own, checked and stored by the next run
    // of this handler, one character at a time.
    SetDlgItemText(IDC_DEPTH, WithoutLastCharacter(strText));
}

void CMainDlg::OnFilter()
{
    {
        CFilterDlg dialog(*m_pApp, this);
        dialog.DoModal();
    }

    std::string strFilter;
    CRegistryKey key(m_pApp);
    if (key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
    {
        key.ReadString(strFilter, kValueFilter);
        key.Close();
    }
    if (strFilter.empty())
    {
        CheckDlgButton(IDC_USE_FILTERS, 0);
        OnUseFilters();
    }
}

void CMainDlg::AddReachSwitches(QMenu& menu)
{
    struct Switch
    {
        unsigned nTextId;
        const char* pszValue;
    };
    static constexpr Switch kSwitches[] = {
        {IDS_ALLOW_HTTPS, kValueAllowHttps},
        {IDS_HTML_WITH_PARAMETERS, kValueHtmlWithParameters},
        {IDS_FOLLOW_CSS, kValueFollowCss},
        {IDS_ROBOTS, kValueRobots},
    };
    std::uint32_t nStored[std::size(kSwitches)] = {};
    CRegistryKey key;
    if (key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
    {
        for (size_t i = 0; i < std::size(kSwitches); ++i)
            key.ReadDword(nStored[i], kSwitches[i].pszValue);
        key.Close();
    }
    for (size_t i = 0; i < std::size(kSwitches); ++i)
    {
        QAction* pAction = menu.addAction(QString::fromStdString(LoadResString(kSwitches[i].nTextId)));
        pAction->setCheckable(true);
        pAction->setChecked(nStored[i] != 0);
        const char* pszValue = kSwitches[i].pszValue;
        connect(pAction, &QAction::toggled, this,
                [pszValue](bool bChecked) { WriteSetting(bChecked ? 1 : 0, pszValue); });
    }
}
