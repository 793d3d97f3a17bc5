#pragma once

#include <string>

// What a request for a file that is read and never stored (robots.txt) came to.
struct TextAnswer
{
    enum class Kind
    {
        Read,   // a 2xx answer; strText holds its body, up to the bound asked for
        Absent, // the server has no such file for us: any answer but 2xx and 5xx
        Failed, // a 5xx answer, or the exchange failed on the way
    };

    Kind kind = Kind::Failed;
    std::string strText;
    // Why it was not read: the status the server answered, or the client's error.
    std::string strReason;
};
