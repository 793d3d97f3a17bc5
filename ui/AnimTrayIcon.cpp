#include "ui/AnimTrayIcon.h"

#include <QTimerEvent>
#include <stdexcept>

CAnimTrayIcon::CAnimTrayIcon(ITrayShell& shell, const unsigned* pIconIds) : m_shell(shell)
{
    for (const unsigned* pId = pIconIds; *pId != 0; ++pId)
        m_icons.push_back(*pId);
}

CAnimTrayIcon::~CAnimTrayIcon()
{
    if (m_bWindowExists)
        OnDestroy();
}

namespace
{

// The tip's length as the tip buffer counts it: a character outside ASCII takes two bytes there,
// as a double-byte character does, however many it takes in UTF-8.
size_t TipBytes(const std::string& strTip)
{
    size_t nBytes = 0;
    for (const unsigned char c : strTip)
    {
        if (c < 0x80)
            nBytes += 1;
        else if ((c & 0xC0) != 0x80)
            nBytes += 2;
    }
    return nBytes;
}

} // namespace

void CAnimTrayIcon::SetTipText(const std::string& strTip)
{
    if (TipBytes(strTip) >= kMaxTipBytes)
        throw std::length_error("The maximum length of a tip string is " + std::to_string(kMaxTipBytes));
    m_strTip = strTip;
    if (m_bAdded)
        m_shell.NotifyIcon(TrayCommand::Modify, BaseData(NIF_TIP));
}

void CAnimTrayIcon::Create(unsigned nId, ITrayNotifySink* pOwner)
{
    m_pOwner = pOwner;
    setObjectName(QStringLiteral("CAnimTrayIcon"));
    m_bWindowExists = true;
    m_bAdded = true;
    m_nIconId = nId;

    NotifyIconData data = BaseData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = nId;
    data.nIconResource = m_icons.front();
    m_shell.NotifyIcon(TrayCommand::Add, data);
}

void CAnimTrayIcon::ShowFrame(int nIndex)
{
    if (!m_bAdded || nIndex < 0 || static_cast<size_t>(nIndex) >= m_icons.size())
        return;
    NotifyIconData data = BaseData(NIF_ICON);
    data.nIconResource = m_icons[static_cast<size_t>(nIndex)];
    m_shell.NotifyIcon(TrayCommand::Modify, data);
}

void CAnimTrayIcon::StartAnimation()
{
    if (!m_bAdded)
        return;
    m_nFrame = 1;
    // Restarting while animating would leave the earlier timer ticking twice as fast.
    if (m_nTimerId > 0)
        killTimer(m_nTimerId);
    m_nTimerId = startTimer(m_nInterval);
}

void CAnimTrayIcon::StopAnimation()
{
    if (!m_bAdded)
        return;
    if (m_nTimerId > 0)
        killTimer(m_nTimerId);
    m_nTimerId = -1;
    m_nFrame = 0;
    ShowFrame(0);
}

void CAnimTrayIcon::OnTimer()
{
    ShowFrame(m_nFrame);
    ++m_nFrame;
    if (m_icons.empty() || static_cast<size_t>(m_nFrame) >= m_icons.size())
        m_nFrame = 1;
}

void CAnimTrayIcon::OnDestroy()
{
    if (!IsIdle() && m_nTimerId > 0)
        killTimer(m_nTimerId);
    m_nTimerId = -1;
    m_shell.NotifyIcon(TrayCommand::Delete, BaseData(0));
    m_bWindowExists = false;
    m_bAdded = false;
}

void CAnimTrayIcon::timerEvent(QTimerEvent*)
{
    OnTimer();
}

NotifyIconData CAnimTrayIcon::BaseData(unsigned uFlags) const
{
    NotifyIconData data;
    data.pOwner = m_pOwner;
    data.uID = m_nIconId;
    data.uFlags = uFlags;
    data.strTip = m_strTip;
    return data;
}
