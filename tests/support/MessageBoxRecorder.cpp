#include "support/MessageBoxRecorder.h"

MsgAnswer CMessageBoxRecorder::Present(const MessageRequest& request)
{
    std::function<void(const MessageRequest&)> whileShown;
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back(request);
        whileShown = m_whileShown;
    }
    if (whileShown)
        whileShown(request);
    std::lock_guard lock(m_mutex);
    if (request.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (m_answers.empty())
        return MsgAnswer::No;
    const MsgAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void CMessageBoxRecorder::WhileShown(std::function<void(const MessageRequest&)> whileShown)
{
    std::lock_guard lock(m_mutex);
    m_whileShown = std::move(whileShown);
}

void CMessageBoxRecorder::ScriptAnswer(MsgAnswer answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<MessageRequest> CMessageBoxRecorder::Shown() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::vector<std::string> CMessageBoxRecorder::Texts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const MessageRequest& request : m_shown)
        texts.push_back(request.text);
    return texts;
}

size_t CMessageBoxRecorder::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_shown.size();
}

void CMessageBoxRecorder::Clear()
{
    std::lock_guard lock(m_mutex);
    m_shown.clear();
}
