#pragma once

#include "platform/gui/TrayShell.h"

#include <QObject>
#include <map>

class QSystemTrayIcon;

// The notification area through QSystemTrayIcon, one icon per identifier.
class CQtTrayShell : public QObject, public ITrayShell
{
    Q_OBJECT

public:
    explicit CQtTrayShell(QObject* pParent = nullptr);
    ~CQtTrayShell() override;

    bool NotifyIcon(TrayCommand command, const NotifyIconData& data) override;

private:
    bool Add(const NotifyIconData& data);
    bool Modify(const NotifyIconData& data);
    bool Delete(const NotifyIconData& data);

    std::map<unsigned, QSystemTrayIcon*> m_icons;
};
