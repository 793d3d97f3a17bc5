#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

// The message queue of a thread that has its own loop: any thread posts, the owner waits.
template <typename Message>
class CThreadMessageQueue
{
public:
    void Post(Message message)
    {
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(std::move(message));
        }
        m_ready.notify_one();
    }

    Message Wait()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_messages.empty(); });
        Message message = std::move(m_messages.front());
        m_messages.pop_front();
        return message;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Message> m_messages;
};
