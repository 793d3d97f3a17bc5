#include "ui/MenuTemplate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{

constexpr const char* kCommandIdProperty = "commandId";

} // namespace

std::unique_ptr<QMenu> LoadMenuPopup(int nMenuId, int nPopup, QWidget* pParent)
{
    QFile file(QStringLiteral(":/menus/%1.json").arg(nMenuId));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QJsonArray popups = QJsonDocument::fromJson(file.readAll()).object().value("popups").toArray();
    if (nPopup < 0 || nPopup >= popups.size())
        return nullptr;

    const QJsonObject popup = popups[nPopup].toObject();
    auto pMenu = std::make_unique<QMenu>(popup.value("text").toString(), pParent);
    for (const auto& value : popup.value("items").toArray())
    {
        const QJsonObject item = value.toObject();
        if (item.value("separator").toBool())
        {
            pMenu->addSeparator();
            continue;
        }
        QAction* pAction = pMenu->addAction(item.value("text").toString());
        pAction->setProperty(kCommandIdProperty, item.value("id").toInt());
    }
    return pMenu;
}

int CommandIdOf(const QAction* pAction)
{
    return pAction != nullptr ? pAction->property(kCommandIdProperty).toInt() : 0;
}

QAction* FindMenuItem(const QMenu& menu, int nCommandId)
{
    for (QAction* pAction : menu.actions())
    {
        if (!pAction->isSeparator() && CommandIdOf(pAction) == nCommandId)
            return pAction;
    }
    return nullptr;
}
