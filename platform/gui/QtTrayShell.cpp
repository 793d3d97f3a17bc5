#include "platform/gui/QtTrayShell.h"

#include "platform/gui/IconResource.h"

#include <QSystemTrayIcon>

namespace
{

unsigned MouseMessageFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason)
    {
    case QSystemTrayIcon::Context:
        return WM_RBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick:
        return WM_MBUTTONDOWN;
    default:
        return WM_LBUTTONDOWN;
    }
}

} // namespace

CQtTrayShell::CQtTrayShell(QObject* pParent) : QObject(pParent) {}

CQtTrayShell::~CQtTrayShell()
{
    for (auto& [id, pIcon] : m_icons)
        delete pIcon;
}

bool CQtTrayShell::NotifyIcon(TrayCommand command, const NotifyIconData& data)
{
    switch (command)
    {
    case TrayCommand::Add:
        return Add(data);
    case TrayCommand::Modify:
        return Modify(data);
    case TrayCommand::Delete:
        return Delete(data);
    }
    return false;
}

bool CQtTrayShell::Add(const NotifyIconData& data)
{
    if (m_icons.count(data.uID) != 0 || !QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    auto* pIcon = new QSystemTrayIcon(this);
    m_icons[data.uID] = pIcon;
    Modify(data);
    if ((data.uFlags & NIF_MESSAGE) != 0 && data.pOwner != nullptr)
    {
        ITrayNotifySink* pOwner = data.pOwner;
        const unsigned uID = data.uID;
        connect(pIcon, &QSystemTrayIcon::activated, this,
                [pOwner, uID](QSystemTrayIcon::ActivationReason reason)
                { pOwner->OnTrayNotify(uID, MouseMessageFor(reason)); });
    }
    pIcon->show();
    return true;
}

bool CQtTrayShell::Modify(const NotifyIconData& data)
{
    const auto found = m_icons.find(data.uID);
    if (found == m_icons.end())
        return false;
    if ((data.uFlags & NIF_ICON) != 0)
        found->second->setIcon(LoadIconResource(data.nIconResource));
    if ((data.uFlags & NIF_TIP) != 0)
        found->second->setToolTip(QString::fromStdString(data.strTip));
    return true;
}

bool CQtTrayShell::Delete(const NotifyIconData& data)
{
    const auto found = m_icons.find(data.uID);
    if (found == m_icons.end())
        return false;
    delete found->second;
    m_icons.erase(found);
    return true;
}
