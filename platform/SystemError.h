#pragma once

#include <string>

// A failed system call: the errno value and its readable text.
struct SystemError
{
    int code = 0;
    std::string text;

    static SystemError FromErrno(int code);
};
