#pragma once

#include "ui/TemplateDialog.h"

#include <QStringList>
#include <string>

class IEngineContext;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// Control identifiers of the filter dialog (dialog 151).
enum FilterDlgId : int
{
    IDD_FILTER = 151,
    IDC_FILTER_ADD = 1047,
    IDC_FILTER_EXCLUDE = 1048,
    IDC_FILTER_REMOVE = 1049,
    IDC_FILTER_ENTRY = 1050,
    IDC_FILTER_LIST = 1051,
};

// The filter list dialog: edits the stored "Filter" patterns and the "FilterExclude" choice, and
// writes both back only when OK closes it after an entry was added or removed. There is no Cancel
// button: the close box and Esc leave the stored values alone.
class CFilterDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    // Messages go through `context`, as do the settings store's.
    explicit CFilterDlg(IEngineContext& context, QWidget* pParent = nullptr);

    int DoModal();
    bool OnInitDialog() override;
    void OnOK();

    void OnEntryChange();
    void OnSelChange();
    void OnAdd();
    void OnRemove();

    // The entries in the list's order.
    QStringList Entries() const;
    bool IsChanged() const { return m_bChanged; }

    // "a;;b" holds three entries, the middle one empty; a trailing ';' adds none.
    static QStringList SplitFilter(const QString& text);

private:
    void DoDataExchange();
    void AddEntry(const QString& text);
    void StoreFilter(const QString& strFilter);

    void ShowMessage(const std::string& text);

    IEngineContext& m_context;
    QCheckBox* m_ctlExclude = nullptr;
    QListWidget* m_ctlFilterList = nullptr;
    QLineEdit* m_ctlEntry = nullptr;
    QPushButton* m_ctlRemove = nullptr;
    QPushButton* m_ctlAdd = nullptr;
    bool m_bChanged = false;
};
