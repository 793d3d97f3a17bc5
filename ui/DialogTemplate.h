#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The kinds of control a dialog template can hold.
enum class ControlKind
{
    Static,
    Icon,
    Edit,
    Button,
    CheckBox,
    ComboBox,
    ListBox,
    Progress,
};

// One control of a dialog template, as stored in res/dialogs/<id>.json.
struct ControlTemplate
{
    int nId = -1; // -1 for the fixed texts nothing refers to
    ControlKind kind = ControlKind::Static;
    QString strText;
    QRect rect; // dialog units
    QStringList styles;
    bool bVisible = true;
    bool bEnabled = true;
    QString strAccessibleName; // for controls whose label does not name them
    QStringList items;         // a combo box's initialisation data

    bool HasStyle(const char* style) const { return styles.contains(QLatin1String(style)); }
};

// A dialog resource kept as data: caption, size in dialog units and the controls in tab order.
struct CDialogTemplate
{
    int nId = 0;
    QString strCaption;
    QSize size; // dialog units
    QStringList styles;
    std::vector<ControlTemplate> controls;

    bool HasStyle(const char* style) const { return styles.contains(QLatin1String(style)); }
    const ControlTemplate* Find(int nControlId) const;

    // The template compiled in as ":/dialogs/<id>.json"; nothing when it is missing or malformed.
    static std::optional<CDialogTemplate> Load(int nDialogId);
    static std::optional<CDialogTemplate> Parse(const QByteArray& json);
};
