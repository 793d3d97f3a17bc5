#pragma once

#include <string>

// What the application object needs of whichever front end runs it, the window or the console.
class IFrontEnd
{
public:
    virtual ~IFrontEnd() = default;
    // The destination folder of the current run, ending with '/'. The error log goes there.
    virtual std::string GetDestination() const = 0;
};
