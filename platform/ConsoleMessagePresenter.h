#pragma once

#include "platform/MessageBox.h"

#include <mutex>

// Prints a message box to stderr. Questions are answered with the answer it was built with,
// since a console front end decides them from its options before the engine asks.
class CConsoleMessagePresenter : public IMessagePresenter
{
public:
    explicit CConsoleMessagePresenter(MsgAnswer questionAnswer = MsgAnswer::No);
    MsgAnswer Present(const MessageRequest& request) override;

private:
    MsgAnswer m_questionAnswer;
    std::mutex m_mutex;
};
