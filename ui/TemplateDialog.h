#pragma once

#include "ui/DialogTemplate.h"
#include "ui/DialogUnits.h"

#include <QDialog>
#include <QHash>
#include <functional>

class QAbstractButton;

// A dialog built from a template in res/dialogs: every control created with its id, kind, label,
// rectangle, style and initial state, and reachable by its id as with GetDlgItem.
class CTemplateDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CTemplateDialog(int nTemplateId, QWidget* pParent = nullptr);

    QWidget* GetDlgItem(int nId) const;
    template <class T>
    T* Item(int nId) const
    {
        return qobject_cast<T*>(GetDlgItem(nId));
    }

    QString GetDlgItemText(int nId) const;
    void SetDlgItemText(int nId, const QString& text);
    // 1 when a check box (or push-like check box) is checked, 0 otherwise.
    int IsDlgButtonChecked(int nId) const;
    void CheckDlgButton(int nId, int nCheck);
    // Runs `handler` each time the user presses button `nId`, by any means; never for
    // CheckDlgButton.
    void OnPressed(int nId, std::function<void()> handler);
    void ShowItem(int nId, bool bShow);
    void EnableItem(int nId, bool bEnable);

    const CDialogTemplate& Template() const { return m_template; }
    const CDialogUnits& Units() const { return m_units; }

    // Runs once, before the dialog first appears, whether it is shown or run modally: a dialog
    // sets up its controls here, from its fields and the store.
    virtual bool OnInitDialog() { return true; }
    void setVisible(bool bVisible) override;

    // "(&G)连接" names a control as "连接" for screen readers: mnemonic markers and colons go.
    static QString AccessibleText(const QString& label);

private:
    QWidget* CreateControl(const ControlTemplate& control);
    void ApplyGeometry(QWidget* pWidget, const ControlTemplate& control);
    void LinkBuddies();

    CDialogTemplate m_template;
    CDialogUnits m_units;
    QHash<int, QWidget*> m_controls;
    bool m_bCheckingByProgram = false;
    bool m_bInitDialogRan = false;
};
