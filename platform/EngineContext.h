#pragma once

#include "platform/MessageBox.h"

#include <string>

// What the engine needs of the program that runs it: the closing flag, the error log, message
// boxes and the agent text. The application object implements it for both front ends; tests hand
// their own. Every member may be called from the user-interface thread and the worker alike.
class IEngineContext
{
public:
    virtual ~IEngineContext() = default;

    // Set once the program is closing: a transfer ends after its current block and no further
    // attempt is made.
    virtual bool IsClosing() const = 0;
    // Appends one stamped line to the run's error log; `bNewLog` starts the file afresh. False
    // (after telling the user) when the line could not be written.
    virtual bool WriteErrorLog(const std::string& strMessage, bool bNewLog) = 0;
    // An empty caption becomes the program's name.
    virtual MsgAnswer MessageBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                 const std::string& caption) = 0;
    // The version text, which is also the HTTP agent name.
    virtual std::string GetVersionText() const = 0;
};
