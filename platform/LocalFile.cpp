#include "platform/LocalFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CLocalFile::~CLocalFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CLocalFile::Fail()
{
    m_error = SystemError::FromErrno(errno);
    return false;
}

bool CLocalFile::Open(const std::string& path, Mode mode, unsigned permissions)
{
    // Reopening lets the earlier file go; an owner that needs its close to succeed closes it first.
    if (m_fd >= 0)
        (void)Close();

    int flags = O_CLOEXEC;
    int lockKind = LOCK_EX;
    switch (mode)
    {
    case Mode::CreateTruncate:
        // Truncation waits until the lock is ours, so a file another writer holds is left intact.
        flags |= O_WRONLY | O_CREAT;
        break;
    case Mode::AppendExisting:
        flags |= O_WRONLY | O_APPEND;
        break;
    case Mode::ReadExisting:
        flags |= O_RDONLY;
        lockKind = LOCK_SH;
        break;
    }

    m_fd = ::open(path.c_str(), flags, permissions);
    if (m_fd < 0)
        return Fail();
    if (::flock(m_fd, lockKind | LOCK_NB) != 0 || (mode == Mode::CreateTruncate && ::ftruncate(m_fd, 0) != 0))
    {
        Fail();
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool CLocalFile::Write(const void* data, size_t count)
{
    const char* bytes = static_cast<const char*>(data);
    while (count > 0)
    {
        const ssize_t written = ::write(m_fd, bytes, count);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return Fail();
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

long CLocalFile::Read(void* buffer, size_t count)
{
    for (;;)
    {
        const ssize_t got = ::read(m_fd, buffer, count);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR)
        {
            Fail();
            return -1;
        }
    }
}

bool CLocalFile::Flush()
{
    return ::fdatasync(m_fd) == 0 || Fail();
}

bool CLocalFile::SetTimes(std::int64_t when)
{
    const struct timespec times[2] = {{static_cast<time_t>(when), 0}, {static_cast<time_t>(when), 0}};
    return ::futimens(m_fd, times) == 0 || Fail();
}

bool CLocalFile::Close()
{
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 || Fail();
}
