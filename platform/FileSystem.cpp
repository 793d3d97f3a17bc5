#include "platform/FileSystem.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool Report(SystemError* error)
{
    if (error)
        *error = SystemError::FromErrno(errno);
    return false;
}

} // namespace

namespace FileSystem
{

bool Exists(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsOtherThanPlainFile(const std::string& path)
{
    struct stat info;
    return !path.empty() && ::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

std::optional<Identity> IdentityOf(const std::string& path)
{
    struct stat info;
    if (path.empty() || ::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return Identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool CreateDirectory(const std::string& path, SystemError* error)
{
    return ::mkdir(path.c_str(), 0777) == 0 || Report(error);
}

bool CreatePath(const std::string& path, SystemError* error)
{
    const size_t lastSlash = path.rfind('/');
    if (lastSlash == std::string::npos)
        return true;
    const std::string folder = path.substr(0, lastSlash + 1);
    // Most files go to a folder that exists already: one look settles that for every level.
    if (folder.size() > 1 && Exists(folder.substr(0, folder.size() - 1)))
        return true;
    // A leading '/' is the root, which always exists.
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
    {
        const std::string prefix = folder.substr(0, slash);
        if (!Exists(prefix) && !CreateDirectory(prefix, error))
            return false;
    }
    return true;
}

bool Delete(const std::string& path, SystemError* error)
{
    return ::unlink(path.c_str()) == 0 || Report(error);
}

bool Move(const std::string& from, const std::string& to, SystemError* error)
{
    return ::rename(from.c_str(), to.c_str()) == 0 || Report(error);
}

std::optional<std::int64_t> GetWriteTime(const std::string& path, SystemError* error)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
    {
        Report(error);
        return std::nullopt;
    }
    return static_cast<std::int64_t>(info.st_mtim.tv_sec);
}

std::optional<std::int64_t> PlainFileSize(const std::string& path, SystemError* error)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0)
    {
        Report(error);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(info.st_size);
}

bool SetTimes(const std::string& path, std::int64_t when, SystemError* error)
{
    const struct timespec times[2] = {{static_cast<time_t>(when), 0}, {static_cast<time_t>(when), 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 || Report(error);
}

bool SyncFileSystem(const std::string& path, SystemError* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Report(error);
    const bool bSynced = ::syncfs(fd) == 0 || Report(error);
    ::close(fd);
    return bSynced;
}

std::optional<std::string> ReadFileStart(const std::string& path, size_t maxBytes, SystemError* error)
{
    // Without O_NONBLOCK opening a FIFO would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
    {
        Report(error);
        return std::nullopt;
    }
    struct stat info;
    std::optional<std::string> text;
    if (::fstat(fd, &info) != 0)
        Report(error);
    else if (!S_ISREG(info.st_mode))
    {
        errno = EINVAL;
        Report(error);
    }
    else
    {
        text.emplace(maxBytes, '\0');
        size_t nGot = 0;
        while (nGot < maxBytes)
        {
            const ssize_t n = ::read(fd, text->data() + nGot, maxBytes - nGot);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
            {
                Report(error);
                text.reset();
                break;
            }
            if (n == 0)
                break;
            nGot += static_cast<size_t>(n);
        }
        if (text)
            text->resize(nGot);
    }
    ::close(fd);
    return text;
}

std::string PartialPath(const std::string& path)
{
    const size_t nameStart = path.rfind('/') + 1; // 0 without a folder
    // 64-bit FNV-1a of the file name: two names in one folder meeting on one partial name is not
    // a practical concern.
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (size_t i = nameStart; i < path.size(); ++i)
    {
        hash ^= static_cast<unsigned char>(path[i]);
        hash *= 0x100000001b3u;
    }
    char name[40];
    std::snprintf(name, sizeof name, ".harvestly-%016" PRIx64 ".part", hash);
    return path.substr(0, nameStart) + name;
}

std::string ExecutableBaseName()
{
    char buffer[4096];
    const ssize_t nLength = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (nLength <= 0)
        return "harvestly";
    std::string name(buffer, static_cast<size_t>(nLength));
    name.erase(0, name.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}

} // namespace FileSystem
