#pragma once

#include "platform/gui/TrayShell.h"

#include <QObject>
#include <string>
#include <vector>

// The notification-area icon: still while idle, cycling through its frames while a site is
// processed. Element 0 of the icon list is the idle icon, the rest are the frames in order.
// Everything runs on the user-interface thread.
class CAnimTrayIcon : public QObject
{
    Q_OBJECT

public:
    // `pIconIds` lists icon resource identifiers ended by a 0; at least two must precede it.
    CAnimTrayIcon(ITrayShell& shell, const unsigned* pIconIds);
    ~CAnimTrayIcon() override;
    CAnimTrayIcon(const CAnimTrayIcon&) = delete;
    CAnimTrayIcon& operator=(const CAnimTrayIcon&) = delete;

    // Throws std::length_error for a tip of 64 bytes or more, a character outside ASCII counting
    // as two; the tip buffer holds 63 and a zero.
    void SetTipText(const std::string& strTip);
    // Adds the icon with `nId` as identifier and callback message; `pOwner` gets the callbacks.
    void Create(unsigned nId, ITrayNotifySink* pOwner);
    void ShowFrame(int nIndex);
    void StartAnimation();
    void StopAnimation();
    bool IsIdle() const { return m_nFrame == 0; }
    void OnTimer();
    // Removes the icon; run when the owner's window goes, once.
    void OnDestroy();

    int GetFrame() const { return m_nFrame; }
    int GetFrameInterval() const { return m_nInterval; }
    bool IsAdded() const { return m_bAdded; }
    const std::string& GetTipText() const { return m_strTip; }

    static constexpr size_t kMaxTipBytes = 64;

protected:
    void timerEvent(QTimerEvent* pEvent) override;

private:
    NotifyIconData BaseData(unsigned uFlags) const;

    int m_nFrame = 0;
    const int m_nInterval = 100;
    int m_nTimerId = -1;
    bool m_bAdded = false;
    unsigned m_nIconId = 0;
    std::string m_strTip;
    std::vector<unsigned> m_icons;
    ITrayNotifySink* m_pOwner = nullptr;
    ITrayShell& m_shell;
    bool m_bWindowExists = false;
};
