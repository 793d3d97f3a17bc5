#pragma once

#include <QMenu>
#include <memory>

// Popup `nPopup` of the menu resource kept as res/menus/<id>.json. Each item's action carries its
// command identifier (see CommandIdOf); null when the resource is missing.
std::unique_ptr<QMenu> LoadMenuPopup(int nMenuId, int nPopup, QWidget* pParent);

int CommandIdOf(const QAction* pAction);
QAction* FindMenuItem(const QMenu& menu, int nCommandId);
