#pragma once

#include "platform/HttpSession.h"

#include <string>

// The program's HTTP session: the application's version text is its agent name.
class CFetchSession : public CHttpSession
{
public:
    explicit CFetchSession(const std::string& strAgent);
};
