#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A test server's listening socket: connections are accepted on a thread of their own and each
// is served on another. Stop, which the destructor calls, stops accepting, waits for every
// connection's thread and closes the socket; a serving function ends when it sees Stopping().
class CAcceptThread
{
public:
    using Serve = std::function<void(int fd)>;

    CAcceptThread() = default;
    ~CAcceptThread();
    CAcceptThread(const CAcceptThread&) = delete;
    CAcceptThread& operator=(const CAcceptThread&) = delete;

    // Takes over `listenFd` and starts accepting on it.
    void Start(int listenFd, Serve serve);
    void Stop();

    bool Stopping() const { return m_bStopping; }
    size_t Accepted() const { return m_nAccepted; }

private:
    void AcceptLoop();

    int m_listenFd = -1;
    Serve m_serve;
    std::atomic<bool> m_bStopping{false};
    std::atomic<size_t> m_nAccepted{0};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
};
