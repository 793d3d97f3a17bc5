#pragma once

#include "platform/gui/ShellLauncher.h"
#include "platform/gui/TrayShell.h"

#include <mutex>
#include <string>
#include <vector>

// Records every call to the notification area instead of showing an icon.
class CTrayShellRecorder : public ITrayShell
{
public:
    struct Call
    {
        TrayCommand command;
        NotifyIconData data;
    };

    bool NotifyIcon(TrayCommand command, const NotifyIconData& data) override
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back({command, data});
        return true;
    }

    std::vector<Call> Calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    // The icons shown by Modify calls that change the icon, in order.
    std::vector<unsigned> ShownFrames() const
    {
        std::vector<unsigned> frames;
        for (const Call& call : Calls())
        {
            if (call.command == TrayCommand::Modify && (call.data.uFlags & NIF_ICON) != 0)
                frames.push_back(call.data.nIconResource);
        }
        return frames;
    }

    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_calls.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// Records the targets the program asks the desktop to open.
class CShellLauncherRecorder : public IShellLauncher
{
public:
    void Open(const std::string& strTarget) override { m_targets.push_back(strTarget); }
    std::vector<std::string> m_targets;
};
