#include "ui/FilterDlg.h"

#include "platform/EngineContext.h"
#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace
{

// A sorted list box orders its entries alphabetically, without regard to case; entries that
// differ only in case keep a fixed order.
class CFilterEntryItem : public QListWidgetItem
{
public:
    explicit CFilterEntryItem(const QString& text) : QListWidgetItem(text) {}

    bool operator<(const QListWidgetItem& other) const override
    {
        const int nOrder = QString::compare(text(), other.text(), Qt::CaseInsensitive);
        return nOrder != 0 ? nOrder < 0 : text() < other.text();
    }
};

} // namespace

CFilterDlg::CFilterDlg(IEngineContext& context, QWidget* pParent)
    : CTemplateDialog(IDD_FILTER, pParent), m_context(context)
{
    DoDataExchange();
    connect(m_ctlEntry, &QLineEdit::textChanged, this, &CFilterDlg::OnEntryChange);
    connect(m_ctlFilterList, &QListWidget::itemSelectionChanged, this, &CFilterDlg::OnSelChange);
    connect(m_ctlAdd, &QPushButton::clicked, this, &CFilterDlg::OnAdd);
    connect(m_ctlRemove, &QPushButton::clicked, this, &CFilterDlg::OnRemove);
    if (auto* pOk = Item<QPushButton>(1))
        connect(pOk, &QPushButton::clicked, this, &CFilterDlg::OnOK);
}

void CFilterDlg::DoDataExchange()
{
    m_ctlExclude = Item<QCheckBox>(IDC_FILTER_EXCLUDE);
    m_ctlFilterList = Item<QListWidget>(IDC_FILTER_LIST);
    m_ctlEntry = Item<QLineEdit>(IDC_FILTER_ENTRY);
    m_ctlRemove = Item<QPushButton>(IDC_FILTER_REMOVE);
    m_ctlAdd = Item<QPushButton>(IDC_FILTER_ADD);
}

int CFilterDlg::DoModal()
{
    return exec();
}

bool CFilterDlg::OnInitDialog()
{
    std::string strFilter;
    std::uint32_t nExclude = 0;
    CRegistryKey key(&m_context);
    if (key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
    {
        key.ReadString(strFilter, kValueFilter);
        key.ReadDword(nExclude, kValueFilterExclude);
        key.Close();
    }
    m_ctlExclude->setChecked(nExclude != 0);
    for (const QString& entry : SplitFilter(QString::fromStdString(strFilter)))
        AddEntry(entry);
    return true;
}

QStringList CFilterDlg::SplitFilter(const QString& text)
{
    QStringList entries = text.split(QLatin1Char(';'));
    if (entries.back().isEmpty())
        entries.removeLast();
    return entries;
}

void CFilterDlg::AddEntry(const QString& text)
{
    m_ctlFilterList->addItem(new CFilterEntryItem(text));
}

QStringList CFilterDlg::Entries() const
{
    QStringList entries;
    for (int nRow = 0; nRow < m_ctlFilterList->count(); ++nRow)
        entries.append(m_ctlFilterList->item(nRow)->text());
    return entries;
}

void CFilterDlg::OnEntryChange()
{
    m_ctlAdd->setEnabled(!m_ctlEntry->text().isEmpty());
}

void CFilterDlg::OnSelChange()
{
    m_ctlRemove->setEnabled(!m_ctlFilterList->selectedItems().isEmpty());
}

void CFilterDlg::OnAdd()
{
    AddEntry(m_ctlEntry->text());
    m_ctlEntry->clear();
    m_bChanged = true;
}

void CFilterDlg::OnRemove()
{
    const QList<QListWidgetItem*> selected = m_ctlFilterList->selectedItems();
    if (!selected.isEmpty())
        delete m_ctlFilterList->takeItem(m_ctlFilterList->row(selected.front()));
    // The list would otherwise select a neighbour; a deletion leaves nothing selected.
    m_ctlFilterList->clearSelection();
    OnSelChange();
    m_bChanged = true;
}

void CFilterDlg::OnOK()
{
    if (m_bChanged)
    {
        const QString strFilter = Entries().join(QLatin1Char(';'));
        StoreFilter(strFilter);
        if (strFilter.isEmpty())
            ShowMessage("No filters entered.  Filtering will be disabled.");
    }
    accept();
}

void CFilterDlg::StoreFilter(const QString& strFilter)
{
    CRegistryKey key(&m_context);
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        return;
    if (!key.WriteString(strFilter.toStdString(), kValueFilter))
        ShowMessage("Unable to set Filter to registry.");
    if (!key.WriteDword(m_ctlExclude->isChecked() ? 1 : 0, kValueFilterExclude))
        ShowMessage("Unable to set FilterExclude to registry.");
    key.Close();
}

void CFilterDlg::ShowMessage(const std::string& text)
{
    m_context.MessageBox(text, MsgButtons::Ok, MsgIcon::None, {});
}
