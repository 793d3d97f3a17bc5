#pragma once

#include <string>

// Mouse messages a tray icon reports to its owner, with the numbers the owner's handler expects.
enum TrayMouseMessage : unsigned
{
    WM_LBUTTONDOWN = 0x0201,
    WM_LBUTTONDBLCLK = 0x0203,
    WM_RBUTTONDOWN = 0x0204,
    WM_MBUTTONDOWN = 0x0207,
};

// Receives the tray icon's callback: `wParam` the icon identifier, `lParam` the mouse message.
class ITrayNotifySink
{
public:
    virtual ~ITrayNotifySink() = default;
    virtual long OnTrayNotify(unsigned wParam, unsigned lParam) = 0;
};

enum class TrayCommand
{
    Add,    // NIM_ADD
    Modify, // NIM_MODIFY
    Delete, // NIM_DELETE
};

enum TrayFlags : unsigned
{
    NIF_MESSAGE = 0x1,
    NIF_ICON = 0x2,
    NIF_TIP = 0x4,
};

// What one call to the notification area carries; only the members named in uFlags are meant.
struct NotifyIconData
{
    ITrayNotifySink* pOwner = nullptr;
    unsigned uID = 0;
    unsigned uFlags = 0;
    unsigned uCallbackMessage = 0;
    unsigned nIconResource = 0;
    std::string strTip;
};

// The desktop's notification area. The program does not examine the result: where there is no
// tray it goes on without one.
class ITrayShell
{
public:
    virtual ~ITrayShell() = default;
    virtual bool NotifyIcon(TrayCommand command, const NotifyIconData& data) = 0;
};
