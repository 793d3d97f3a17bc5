#include "ui/TemplateDialog.h"

#include "platform/gui/IconResource.h"
#include "ui/RightTextCheckBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

namespace
{

CDialogTemplate LoadOrDie(int nTemplateId)
{
    std::optional<CDialogTemplate> dialogTemplate = CDialogTemplate::Load(nTemplateId);
    if (!dialogTemplate)
        qFatal("dialog template %d is missing or malformed", nTemplateId);
    return std::move(*dialogTemplate);
}

Qt::WindowFlags FlagsFor(const CDialogTemplate& dialogTemplate)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dialogTemplate.HasStyle("sysmenu"))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dialogTemplate.HasStyle("minimizebox"))
        flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

QWidget* CreateStatic(const ControlTemplate& control, QWidget* pParent)
{
    auto* pLabel = new QLabel(control.strText, pParent);
    pLabel->setAlignment((control.HasStyle("right") ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    pLabel->setWordWrap(!control.HasStyle("sunken") && !control.HasStyle("link"));
    if (control.HasStyle("sunken"))
        pLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    if (control.HasStyle("noprefix"))
        pLabel->setTextFormat(Qt::PlainText);
    // Static texts take no mouse input: the window under them gets it, which the link labels need.
    pLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    return pLabel;
}

QWidget* CreateIcon(const ControlTemplate& control, QWidget* pParent)
{
    auto* pLabel = new QLabel(pParent);
    pLabel->setPixmap(LoadIconResource(control.strText.toUInt()).pixmap(32, 32));
    pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    return pLabel;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget* pParent)
{
    auto* pEdit = new QLineEdit(control.strText, pParent);
    if (control.HasStyle("password"))
        pEdit->setEchoMode(QLineEdit::Password);
    pEdit->setReadOnly(control.HasStyle("readonly"));
    return pEdit;
}

QWidget* CreateButton(const ControlTemplate& control, QWidget* pParent)
{
    auto* pButton = new QPushButton(control.strText, pParent);
    pButton->setDefault(control.HasStyle("default"));
    return pButton;
}

QWidget* CreateCheckBox(const ControlTemplate& control, QWidget* pParent)
{
    if (control.HasStyle("pushlike"))
    {
        auto* pButton = new QPushButton(control.strText, pParent);
        pButton->setCheckable(true);
        pButton->setAutoDefault(false);
        return pButton;
    }
    auto* pCheck = control.HasStyle("righttext") ? new CRightTextCheckBox(control.strText, pParent)
                                                 : new QCheckBox(control.strText, pParent);
    if (control.HasStyle("lefttext"))
        pCheck->setLayoutDirection(Qt::RightToLeft);
    return pCheck;
}

QWidget* CreateComboBox(const ControlTemplate& control, QWidget* pParent)
{
    auto* pCombo = new QComboBox(pParent);
    pCombo->setEditable(!control.HasStyle("dropdownlist"));
    pCombo->addItems(control.items);
    pCombo->setCurrentIndex(-1);
    return pCombo;
}

QWidget* CreateListBox(const ControlTemplate& control, QWidget* pParent)
{
    auto* pList = new QListWidget(pParent);
    // A list box's scroll bar appears when the list outgrows it, as on Windows.
    pList->setVerticalScrollBarPolicy(control.HasStyle("vscroll") ? Qt::ScrollBarAsNeeded
                                                                  : Qt::ScrollBarAlwaysOff);
    pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pList->setSortingEnabled(control.HasStyle("sort"));
    if (!control.HasStyle("border"))
        pList->setFrameStyle(QFrame::NoFrame);
    return pList;
}

QWidget* CreateProgress(const ControlTemplate&, QWidget* pParent)
{
    auto* pProgress = new QProgressBar(pParent);
    pProgress->setRange(0, 100);
    pProgress->setValue(0);
    pProgress->setTextVisible(false);
    return pProgress;
}

bool TakesBuddy(ControlKind kind)
{
    return kind == ControlKind::Edit || kind == ControlKind::ComboBox || kind == ControlKind::ListBox;
}

} // namespace

CTemplateDialog::CTemplateDialog(int nTemplateId, QWidget* pParent)
    : QDialog(pParent), m_template(LoadOrDie(nTemplateId)), m_units(CDialogUnits::DialogFont())
{
    setWindowFlags(FlagsFor(m_template));
    setFont(CDialogUnits::DialogFont());
    setWindowTitle(m_template.strCaption);
    setFixedSize(m_units.ToPixels(m_template.size));

    for (const ControlTemplate& control : m_template.controls)
    {
        QWidget* pWidget = CreateControl(control);
        ApplyGeometry(pWidget, control);
        pWidget->setEnabled(control.bEnabled);
        pWidget->setVisible(control.bVisible);
        pWidget->setProperty("controlId", control.nId);
        pWidget->setObjectName(QStringLiteral("ctl%1").arg(control.nId));
        pWidget->setAccessibleName(control.strAccessibleName.isEmpty() ? AccessibleText(control.strText)
                                                                       : control.strAccessibleName);
        if (control.nId != -1)
            m_controls.insert(control.nId, pWidget);
    }
    LinkBuddies();
}

QWidget* CTemplateDialog::CreateControl(const ControlTemplate& control)
{
    switch (control.kind)
    {
    case ControlKind::Static:
        return CreateStatic(control, this);
    case ControlKind::Icon:
        return CreateIcon(control, this);
    case ControlKind::Edit:
        return CreateEdit(control, this);
    case ControlKind::Button:
        return CreateButton(control, this);
    case ControlKind::CheckBox:
        return CreateCheckBox(control, this);
    case ControlKind::ComboBox:
        return CreateComboBox(control, this);
    case ControlKind::ListBox:
        return CreateListBox(control, this);
    case ControlKind::Progress:
        return CreateProgress(control, this);
    }
    return new QWidget(this);
}

void CTemplateDialog::ApplyGeometry(QWidget* pWidget, const ControlTemplate& control)
{
    QRect rect = m_units.ToPixels(control.rect);
    // A drop-down list's template height is that of its open list; closed it is one line high.
    if (control.kind == ControlKind::ComboBox)
        rect.setHeight(std::min(rect.height(), pWidget->sizeHint().height()));
    // A check box's label is drawn in this font, wider than the one the template was laid out
    // in: a label that would be clipped widens its control away from the box's side.
    if (control.kind == ControlKind::CheckBox && !control.HasStyle("pushlike") &&
        pWidget->sizeHint().width() > rect.width())
    {
        const int nWidth = pWidget->sizeHint().width();
        if (control.HasStyle("lefttext"))
            rect.setLeft(rect.right() + 1 - nWidth);
        else
            rect.setWidth(nWidth);
    }
    // An icon control takes the icon's size, whatever its rectangle says.
    if (control.kind == ControlKind::Icon)
        rect.setSize(QSize(32, 32));
    pWidget->setGeometry(rect);
}

void CTemplateDialog::LinkBuddies()
{
    // As on Windows, an input's mnemonic is on the label just before it in the tab order.
    const ControlTemplate* pPrevious = nullptr;
    for (const ControlTemplate& control : m_template.controls)
    {
        if (pPrevious != nullptr && pPrevious->kind == ControlKind::Static && pPrevious->nId != -1 &&
            !pPrevious->strText.isEmpty() && !pPrevious->HasStyle("link") && TakesBuddy(control.kind))
        {
            auto* pLabel = Item<QLabel>(pPrevious->nId);
            QWidget* pInput = GetDlgItem(control.nId);
            if (pLabel != nullptr && pInput != nullptr)
            {
                pLabel->setBuddy(pInput);
                if (control.strAccessibleName.isEmpty())
                    pInput->setAccessibleName(AccessibleText(pPrevious->strText));
            }
        }
        pPrevious = &control;
    }
}

void CTemplateDialog::setVisible(bool bVisible)
{
    if (bVisible && !m_bInitDialogRan)
    {
        m_bInitDialogRan = true;
        OnInitDialog();
    }
    QDialog::setVisible(bVisible);
}

QWidget* CTemplateDialog::GetDlgItem(int nId) const
{
    return m_controls.value(nId, nullptr);
}

QString CTemplateDialog::GetDlgItemText(int nId) const
{
    QWidget* pWidget = GetDlgItem(nId);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
        return pEdit->text();
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        return pLabel->text();
    if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        return pButton->text();
    if (auto* pCombo = qobject_cast<QComboBox*>(pWidget))
        return pCombo->currentText();
    return {};
}

void CTemplateDialog::SetDlgItemText(int nId, const QString& text)
{
    QWidget* pWidget = GetDlgItem(nId);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pWidget))
    {
        pEdit->setText(text);
        // A field the program fills shows the start of its text, as an edit control does; the
        // line edit would scroll to the end.
        if (pEdit->isReadOnly())
            pEdit->setCursorPosition(0);
        return;
    }
    // A label or button named after its text is announced with the text it shows now.
    const bool bNamedByText =
        pWidget != nullptr && pWidget->accessibleName() == AccessibleText(GetDlgItemText(nId));
    if (auto* pLabel = qobject_cast<QLabel*>(pWidget))
        pLabel->setText(text);
    else if (auto* pButton = qobject_cast<QAbstractButton*>(pWidget))
        pButton->setText(text);
    else
        return;
    if (bNamedByText)
        pWidget->setAccessibleName(AccessibleText(text));
}

void CTemplateDialog::OnPressed(int nId, std::function<void()> handler)
{
    auto* pButton = Item<QAbstractButton>(nId);
    if (pButton == nullptr)
        return;
    if (!pButton->isCheckable())
    {
        connect(pButton, &QAbstractButton::clicked, this, std::move(handler));
        return;
    }
    // A check box changes through a click, its mnemonic, the space bar or the accessibility
    // interface's toggle, which emits no click; CheckDlgButton is the program's own doing.
    connect(pButton, &QAbstractButton::toggled, this,
            [this, handler = std::move(handler)]
            {
                if (!m_bCheckingByProgram)
                    handler();
            });
}

int CTemplateDialog::IsDlgButtonChecked(int nId) const
{
    auto* pButton = Item<QAbstractButton>(nId);
    return pButton != nullptr && pButton->isCheckable() && pButton->isChecked() ? 1 : 0;
}

void CTemplateDialog::CheckDlgButton(int nId, int nCheck)
{
    if (auto* pButton = Item<QAbstractButton>(nId))
    {
        m_bCheckingByProgram = true;
        pButton->setChecked(nCheck != 0);
        m_bCheckingByProgram = false;
    }
}

void CTemplateDialog::ShowItem(int nId, bool bShow)
{
    if (QWidget* pWidget = GetDlgItem(nId))
        pWidget->setVisible(bShow);
}

void CTemplateDialog::EnableItem(int nId, bool bEnable)
{
    QWidget* pWidget = GetDlgItem(nId);
    if (pWidget == nullptr)
        return;
    // A control that is disabled gives up the focus and no other control takes it. Qt would hand
    // it on to the next control, and a line edit given the focus that way selects its text.
    if (!bEnable && pWidget->hasFocus())
        pWidget->clearFocus();
    pWidget->setEnabled(bEnable);
}

QString CTemplateDialog::AccessibleText(const QString& label)
{
    static const QRegularExpression kMnemonicPrefix(QStringLiteral("\\(&.\\)"));
    QString text = label;
    text.remove(kMnemonicPrefix);
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}
