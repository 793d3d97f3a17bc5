#pragma once

#include <string>

// Opens a web or mail target with whatever the desktop uses for it ("open" on Windows).
class IShellLauncher
{
public:
    virtual ~IShellLauncher() = default;
    virtual void Open(const std::string& strTarget) = 0;
};

// Through QDesktopServices; the result is not examined, as nothing can be done about it.
class CDesktopShellLauncher : public IShellLauncher
{
public:
    void Open(const std::string& strTarget) override;
};
