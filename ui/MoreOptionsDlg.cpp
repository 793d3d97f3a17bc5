#include "ui/MoreOptionsDlg.h"

#include "platform/EngineContext.h"
#include "res/StringTable.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <iterator>

namespace
{

struct Check
{
    int nId;
    unsigned nTextId;
    const char* pszValue;
};

constexpr Check kChecks[] = {
    {IDC_MORE_ALLOW_HTTPS, IDS_ALLOW_HTTPS, kValueAllowHttps},
    {IDC_MORE_HTML_WITH_PARAMETERS, IDS_HTML_WITH_PARAMETERS, kValueHtmlWithParameters},
    {IDC_MORE_FOLLOW_CSS, IDS_FOLLOW_CSS, kValueFollowCss},
    {IDC_MORE_ROBOTS, IDS_ROBOTS, kValueRobots},
    {IDC_MORE_CONVERT_LINKS, IDS_CONVERT_LINKS, kValueConvertLinks},
    {IDC_MORE_COMPRESSED, IDS_COMPRESSED, kValueCompressed},
    {IDC_MORE_RESUME, IDS_RESUME, kValueResume},
};

// Longer digit strings stop here rather than wrap, so the field shows back what was stored.
constexpr std::uint64_t kLargestNumber = 0xFFFFFFFF;

struct Number
{
    int nId;
    const char* pszValue;
    const char* pszMessage;
    std::uint64_t nMax;
};

constexpr Number kNumbers[] = {
    {IDC_MORE_WAIT, kValueWaitMs, "Wait must be numeric.", kLargestNumber},
    {IDC_MORE_LIMIT_RATE, kValueLimitRate, "Rate limit must be numeric.", kLargestNumber},
    {IDC_MORE_CONNECTIONS, kValueConnections, "Connections must be a number from 0 to 8.", kMaxConnections},
};

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

CMoreOptionsDlg::CMoreOptionsDlg(IEngineContext& context, QWidget* pParent)
    : CTemplateDialog(IDD_MORE_OPTIONS, pParent), m_context(context)
{
    for (const Check& check : kChecks)
        SetLabel(check.nId, check.nTextId);
    SetLabel(IDC_MORE_WAIT_LABEL, IDS_WAIT_MS, IDC_MORE_WAIT);
    SetLabel(IDC_MORE_LIMIT_RATE_LABEL, IDS_LIMIT_RATE, IDC_MORE_LIMIT_RATE);
    SetLabel(IDC_MORE_CONNECTIONS_LABEL, IDS_CONNECTIONS, IDC_MORE_CONNECTIONS);
    ReadStoredValues();
    for (const Check& check : kChecks)
        OnPressed(check.nId, [this, check] { StoreCheck(check.nId, check.pszValue); });
    for (const Number& number : kNumbers)
    {
        if (auto* pEdit = Item<QLineEdit>(number.nId))
            connect(pEdit, &QLineEdit::textChanged, this,
                    [this, number]
                    { StoreNumber(number.nId, number.pszValue, number.pszMessage, number.nMax); });
    }
    if (auto* pOk = Item<QPushButton>(1))
        connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
}

void CMoreOptionsDlg::SetLabel(int nId, unsigned nTextId, int nBuddyId)
{
    const QString text = QString::fromStdString(LoadResString(nTextId));
    if (auto* pButton = Item<QAbstractButton>(nId))
        pButton->setText(text);
    if (auto* pLabel = Item<QLabel>(nId))
    {
        pLabel->setText(text);
        pLabel->setBuddy(GetDlgItem(nBuddyId));
    }
    if (QWidget* pBuddy = nBuddyId != 0 ? GetDlgItem(nBuddyId) : GetDlgItem(nId))
        pBuddy->setAccessibleName(AccessibleText(text));
}

void CMoreOptionsDlg::ReadStoredValues()
{
    CRegistryKey key(&m_context);
    const bool bOpen = key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath);
    const auto stored = [&](const char* pszValue)
    {
        std::uint32_t nValue = 0;
        if (bOpen)
            (void)key.ReadDword(nValue, pszValue);
        return nValue;
    };
    for (const Check& check : kChecks)
        CheckDlgButton(check.nId, stored(check.pszValue) != 0 ? 1 : 0);
    for (const Number& number : kNumbers)
    {
        auto* pEdit = Item<QLineEdit>(number.nId);
        const QSignalBlocker blocker(pEdit);
        pEdit->setText(QString::number(stored(number.pszValue)));
    }
    if (bOpen)
        key.Close();
}

void CMoreOptionsDlg::StoreCheck(int nId, const char* pszValue)
{
    Store(IsDlgButtonChecked(nId) == 1 ? 1 : 0, pszValue);
}

void CMoreOptionsDlg::StoreNumber(int nId, const char* pszValue, const char* pszMessage, std::uint64_t nMax)
{
    const QString text = GetDlgItemText(nId);
    std::uint64_t nValue = 0;
    for (const QChar c : text)
        nValue = IsDigit(c) ? std::min(nValue * 10 + (c.unicode() - '0'), kLargestNumber) : nValue;
    if (!std::all_of(text.begin(), text.end(), IsDigit) || (nMax < kLargestNumber && nValue > nMax))
    {
        m_context.MessageBox(pszMessage, MsgButtons::Ok, MsgIcon::None, {});
        // The shortened text is a change of its own, checked and stored in turn.
        SetDlgItemText(nId, text.chopped(1));
        return;
    }
    Store(static_cast<std::uint32_t>(nValue), pszValue);
}

void CMoreOptionsDlg::Store(std::uint32_t nValue, const char* pszValue)
{
    CRegistryKey key(&m_context);
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return;
    if (!key.WriteDword(nValue, pszValue))
        m_context.MessageBox(std::string("Unable to set ") + pszValue + " to registry.", MsgButtons::Ok,
                             MsgIcon::None, {});
    key.Close();
}
