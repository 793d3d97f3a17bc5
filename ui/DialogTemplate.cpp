#include "ui/DialogTemplate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{

std::optional<ControlKind> KindFromName(const QString& name)
{
    static const std::pair<const char*, ControlKind> kKinds[] = {
        {"static", ControlKind::Static},     {"icon", ControlKind::Icon},
        {"edit", ControlKind::Edit},         {"button", ControlKind::Button},
        {"checkbox", ControlKind::CheckBox}, {"combobox", ControlKind::ComboBox},
        {"listbox", ControlKind::ListBox},   {"progress", ControlKind::Progress},
    };
    for (const auto& [kindName, kind] : kKinds)
    {
        if (name == QLatin1String(kindName))
            return kind;
    }
    return std::nullopt;
}

QStringList ToStringList(const QJsonValue& value)
{
    QStringList list;
    for (const auto& item : value.toArray())
        list.append(item.toString());
    return list;
}

std::optional<ControlTemplate> ParseControl(const QJsonObject& object)
{
    const std::optional<ControlKind> kind = KindFromName(object.value("kind").toString());
    const QJsonArray rect = object.value("rect").toArray();
    if (!kind || rect.size() != 4)
        return std::nullopt;

    ControlTemplate control;
    control.nId = object.value("id").toInt(-1);
    control.kind = *kind;
    control.strText = object.value("text").toString();
    control.rect = QRect(rect[0].toInt(), rect[1].toInt(), rect[2].toInt(), rect[3].toInt());
    control.styles = ToStringList(object.value("style"));
    control.bVisible = object.value("visible").toBool(true);
    control.bEnabled = object.value("enabled").toBool(true);
    control.strAccessibleName = object.value("name").toString();
    control.items = ToStringList(object.value("items"));
    return control;
}

} // namespace

const ControlTemplate* CDialogTemplate::Find(int nControlId) const
{
    for (const ControlTemplate& control : controls)
    {
        if (control.nId == nControlId)
            return &control;
    }
    return nullptr;
}

std::optional<CDialogTemplate> CDialogTemplate::Load(int nDialogId)
{
    QFile file(QStringLiteral(":/dialogs/%1.json").arg(nDialogId));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Parse(file.readAll());
}

std::optional<CDialogTemplate> CDialogTemplate::Parse(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    const QJsonArray size = root.value("size").toArray();
    if (size.size() != 2)
        return std::nullopt;

    CDialogTemplate dialog;
    dialog.nId = root.value("id").toInt();
    dialog.strCaption = root.value("caption").toString();
    dialog.size = QSize(size[0].toInt(), size[1].toInt());
    dialog.styles = ToStringList(root.value("style"));
    for (const auto& value : root.value("controls").toArray())
    {
        std::optional<ControlTemplate> control = ParseControl(value.toObject());
        if (!control)
            return std::nullopt;
        dialog.controls.push_back(std::move(*control));
    }
    return dialog;
}
