#pragma once

#include <string>

// What a person sees in a message box, and the seam through which the program shows it. The
// desktop program shows a real dialog, the console program prints, tests record.
enum class MsgButtons
{
    Ok,
    YesNo,
};

enum class MsgIcon
{
    None,
    Information,
    Exclamation,
    Question,
    Error,
};

enum class MsgAnswer
{
    Ok,
    Yes,
    No,
};

struct MessageRequest
{
    std::string text;
    std::string caption; // never empty once it reaches a presenter
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

// Presenters may be called from any thread; the caller waits for the answer.
class IMessagePresenter
{
public:
    virtual ~IMessagePresenter() = default;
    virtual MsgAnswer Present(const MessageRequest& request) = 0;
};
