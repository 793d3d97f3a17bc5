#include "platform/ConsoleMessagePresenter.h"

#include <cstdio>

CConsoleMessagePresenter::CConsoleMessagePresenter(MsgAnswer questionAnswer)
    : m_questionAnswer(questionAnswer)
{
}

MsgAnswer CConsoleMessagePresenter::Present(const MessageRequest& request)
{
    std::lock_guard lock(m_mutex);
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    std::fflush(stderr);
    return request.buttons == MsgButtons::YesNo ? m_questionAnswer : MsgAnswer::Ok;
}
