#include "support/AcceptThread.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

// How soon a stop is seen while no client connects.
constexpr int kPollMilliseconds = 20;

} // namespace

CAcceptThread::~CAcceptThread()
{
    Stop();
}

void CAcceptThread::Start(int listenFd, Serve serve)
{
    m_listenFd = listenFd;
    m_serve = std::move(serve);
    m_thread = std::thread([this] { AcceptLoop(); });
}

void CAcceptThread::Stop()
{
    m_bStopping = true;
    if (m_thread.joinable())
        m_thread.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (std::thread& connection : connections)
        connection.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
}

void CAcceptThread::AcceptLoop()
{
    while (!m_bStopping)
    {
        pollfd ready{m_listenFd, POLLIN, 0};
        if (::poll(&ready, 1, kPollMilliseconds) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_nAccepted;
        std::lock_guard lock(m_mutex);
        m_connections.emplace_back([this, fd] { m_serve(fd); });
    }
}
