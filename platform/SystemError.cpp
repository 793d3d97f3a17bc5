#include "platform/SystemError.h"

#include <cstring>

SystemError SystemError::FromErrno(int code)
{
    char buffer[256];
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return SystemError{code, text};
}
