#include "platform/LocalFile.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Removes what stands at `path` unless it is a file a writer still holds; errno tells why not.
bool RemoveLeftover(const std::string& path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT;
    // A link, or anything else that is no plain file, is unlinked itself; its target is untouched.
    if (!S_ISREG(info.st_mode))
        return ::unlink(path.c_str()) == 0;

    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT;
    // The lock is held while unlinking, so a writer that opened the file a moment ago finds out
    // that its name is gone (see SameFile) rather than writing into a file nobody will see.
    const bool bRemoved =
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && (::unlink(path.c_str()) == 0 || errno == ENOENT);
    const int savedErrno = errno;
    ::close(fd);
    errno = savedErrno;
    return bRemoved;
}

// Writers of a file the program names itself: a link planted at the name must not send the
// bytes elsewhere, and opening a FIFO must not wait for a reader that never comes.
constexpr int kPlainOnly = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

bool IsPlainFile(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Whether `path` still names the file open as `fd`.
bool SameFile(int fd, const std::string& path)
{
    struct stat held;
    struct stat named;
    if (::fstat(fd, &held) != 0 || ::lstat(path.c_str(), &named) != 0)
        return false;
    if (held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        return true;
    errno = EEXIST;
    return false;
}

} // namespace

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

SystemError CLocalFile::NotPlainFile()
{
    return {EINVAL, "not a plain file"};
}

bool CLocalFile::FailPlainOpen(const std::string& path)
{
    if (FileSystem::IsOtherThanPlainFile(path))
    {
        m_error = NotPlainFile();
        return false;
    }
    return Fail();
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
    case Mode::CreateFresh:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        if (!RemoveLeftover(path))
            return Fail();
        break;
    case Mode::AppendExisting:
        flags |= O_WRONLY | O_APPEND;
        break;
    case Mode::ReadExisting:
        flags |= O_RDONLY;
        lockKind = LOCK_SH;
        break;
    case Mode::RewriteExisting:
        flags |= O_RDWR;
        break;
    }

    const bool bPlainOnly =
        mode == Mode::CreateTruncate || mode == Mode::AppendExisting || mode == Mode::RewriteExisting;
    if (bPlainOnly)
        flags |= kPlainOnly;
    m_fd = ::open(path.c_str(), flags, permissions);
    if (m_fd < 0)
        return bPlainOnly ? FailPlainOpen(path) : Fail();
    if (bPlainOnly && !IsPlainFile(m_fd))
    {
        ::close(m_fd);
        m_fd = -1;
        m_error = NotPlainFile();
        return false;
    }
    if (::flock(m_fd, lockKind | LOCK_NB) != 0 ||
        (mode == Mode::CreateTruncate && ::ftruncate(m_fd, 0) != 0) ||
        (mode == Mode::CreateFresh && !SameFile(m_fd, path)))
    {
        Fail();
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool CLocalFile::Reserve(std::uint64_t nSize)
{
    struct stat info;
    if (::fstat(m_fd, &info) != 0)
        return Fail();
    const auto nCurrent = static_cast<std::uint64_t>(info.st_size);
    if (nSize <= nCurrent)
        return true;
    const int error = ::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(nCurrent),
                                  static_cast<off_t>(nSize - nCurrent)) == 0
                          ? 0
                          : errno;
    if (error == 0 || error == EOPNOTSUPP || error == ENOSYS)
        return true;
    errno = error;
    return Fail();
}

bool CLocalFile::SeekTo(std::uint64_t nOffset)
{
    return ::lseek(m_fd, static_cast<off_t>(nOffset), SEEK_SET) >= 0 || Fail();
}

bool CLocalFile::Truncate(std::uint64_t nSize)
{
    return ::ftruncate(m_fd, static_cast<off_t>(nSize)) == 0 || Fail();
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
