#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Records every message box the program shows and answers questions as the test scripted them
// (No when nothing is scripted). Safe to call from the worker thread.
class CMessageBoxRecorder : public IMessagePresenter
{
public:
    MsgAnswer Present(const MessageRequest& request) override;

    void ScriptAnswer(MsgAnswer answer);
    // Runs `whileShown` for every box from now on, on the asking thread, as if while the box is
    // open: what the user could still do behind it.
    void WhileShown(std::function<void(const MessageRequest&)> whileShown);
    std::vector<MessageRequest> Shown() const;
    std::vector<std::string> Texts() const;
    size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<MessageRequest> m_shown;
    std::deque<MsgAnswer> m_answers;
    std::function<void(const MessageRequest&)> m_whileShown;
};
