#include "app/OptionsPanel.h"

#include "app/MainDlgIds.h"
#include "platform/EngineContext.h"
#include "res/StringTable.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"
#include "ui/FilterDlg.h"
#include "ui/MoreOptionsDlg.h"
#include "ui/TemplateDialog.h"

#include <QComboBox>
#include <QMenu>
#include <QSignalBlocker>
#include <algorithm>

namespace
{

// Shown and hidden together.
constexpr int kPanelItems[] = {IDC_NONAME_AS_INDEX, IDC_CONTINUE_ON_ERROR, IDC_RETRIES,     IDC_FILECHECK,
                               IDC_FILECHECK_LABEL, IDC_RETRIES_LABEL,     IDC_USE_FILTERS, IDC_FILTER,
                               IDC_STEALTH,         IDC_DEPTH_LABEL,       IDC_DEPTH};

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

} // namespace

COptionsPanel::COptionsPanel(CTemplateDialog& dialog, IEngineContext& context)
    : m_dialog(dialog), m_context(context)
{
}

void COptionsPanel::Show(bool bShow)
{
    for (int nId : kPanelItems)
        m_dialog.ShowItem(nId, bShow);
}

void COptionsPanel::ReadStoredValues()
{
    CRegistryKey key(&m_context);
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return;

    std::uint32_t nValue = 0;
    m_dialog.Item<QComboBox>(IDC_FILECHECK)
        ->setCurrentIndex(key.ReadDword(nValue, kValueFileCheck) ? int(nValue) : 0);
    nValue = 0;
    m_dialog.SetDlgItemText(IDC_RETRIES,
                            QString::number(key.ReadDword(nValue, kValueRetries) ? int(nValue) : 0));
    nValue = 0;
    m_dialog.CheckDlgButton(IDC_CONTINUE_ON_ERROR,
                            key.ReadDword(nValue, kValueContinueOnError) ? int(nValue) : 0);
    nValue = 0;
    m_dialog.CheckDlgButton(IDC_NONAME_AS_INDEX,
                            key.ReadDword(nValue, kValueNoNameAsIndex) ? int(nValue) : 0);
    nValue = 0;
    if (key.ReadDword(nValue, kValueUseFilters))
    {
        m_dialog.CheckDlgButton(IDC_USE_FILTERS, int(nValue));
        m_dialog.EnableItem(IDC_FILTER, nValue != 0);
    }
    else
    {
        m_dialog.CheckDlgButton(IDC_USE_FILTERS, 0);
    }
    nValue = 0;
    m_dialog.CheckDlgButton(IDC_STEALTH, key.ReadDword(nValue, kValueStealth) ? int(nValue) : 0);
    nValue = 0;
    m_dialog.SetDlgItemText(IDC_DEPTH, QString::number(key.ReadDword(nValue, kValueDepth) ? int(nValue) : 0));
    key.Close();
}

void COptionsPanel::Store(std::uint32_t nValue, const char* pszValue)
{
    CRegistryKey key(&m_context);
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return;
    if (!key.WriteDword(nValue, pszValue))
        m_context.MessageBox(std::string("Unable to set ") + pszValue + " to registry.", MsgButtons::Ok,
                             MsgIcon::None, {});
    key.Close();
}

void COptionsPanel::StoreCheck(int nId, const char* pszValue)
{
    Store(m_dialog.IsDlgButtonChecked(nId), pszValue);
}

void COptionsPanel::StoreFileCheck()
{
    const int nIndex = m_dialog.Item<QComboBox>(IDC_FILECHECK)->currentIndex();
    // No selection is no mode at all; storing it would read back as a date check.
    if (nIndex < 0)
        return;
    Store(static_cast<std::uint32_t>(nIndex), kValueFileCheck);
}

void COptionsPanel::StoreUseFilters()
{
    const int nCheck = m_dialog.IsDlgButtonChecked(IDC_USE_FILTERS);
    m_dialog.EnableItem(IDC_FILTER, nCheck == 1);
    Store(nCheck, kValueUseFilters);
}

void COptionsPanel::StoreRetries()
{
    const QString strText = m_dialog.GetDlgItemText(IDC_RETRIES);
    // The field's own corrections are not the user's input: without the blocker an emptied
    // field would fail the same test again, message after message.
    const auto setOwnText = [this](const QString& text)
    {
        const QSignalBlocker blocker(m_dialog.GetDlgItem(IDC_RETRIES));
        m_dialog.SetDlgItemText(IDC_RETRIES, text);
    };

    if (strText.isEmpty() || !IsDigit(strText.front()))
    {
        m_context.MessageBox("# of retries must be numeric value between 1 and 5.", MsgButtons::Ok,
                             MsgIcon::None, {});
        setOwnText(QString());
        return;
    }
    std::uint32_t nRetries = LeadingNumber(strText);
    if (nRetries > kMaxRetries)
    {
        setOwnText(QString::number(kMaxRetries));
        nRetries = kMaxRetries;
    }
    Store(nRetries, kValueRetries);
}

void COptionsPanel::StoreDepth()
{
    const QString strText = m_dialog.GetDlgItemText(IDC_DEPTH);
    if (std::all_of(strText.begin(), strText.end(), IsDigit))
    {
        Store(LeadingNumber(strText), kValueDepth);
        return;
    }
    m_context.MessageBox("Depth must be numeric.", MsgButtons::Ok, MsgIcon::None, {});
    // Not blocked: the shortened text is a change of its own, checked and stored by the next run
    // of this handler, one character at a time.
    m_dialog.SetDlgItemText(IDC_DEPTH, WithoutLastCharacter(strText));
}

void COptionsPanel::EditFilter()
{
    {
        CFilterDlg dialog(m_context, &m_dialog);
        dialog.DoModal();
    }

    std::string strFilter;
    CRegistryKey key(&m_context);
    if (key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
    {
        key.ReadString(strFilter, kValueFilter);
        key.Close();
    }
    if (strFilter.empty())
    {
        m_dialog.CheckDlgButton(IDC_USE_FILTERS, 0);
        StoreUseFilters();
    }
}

void COptionsPanel::AddMoreOptions(QMenu& menu, bool bEnabled)
{
    QAction* pAction = menu.addAction(QString::fromStdString(LoadResString(IDS_MORE_OPTIONS)));
    // A run has read the store already: what the dialog would change would not reach it.
    pAction->setEnabled(bEnabled);
    QObject::connect(pAction, &QAction::triggered, &m_dialog,
                     [this]
                     {
                         CMoreOptionsDlg dialog(m_context, &m_dialog);
                         dialog.exec();
                     });
}
