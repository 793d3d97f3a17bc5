#pragma once

#include "platform/SystemError.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A file opened the way the program's writers need it: writers shut other writers out with an
// exclusive advisory lock for as long as the file is open, readers take a shared one.
class CLocalFile
{
public:
    enum class Mode
    {
        // Create or truncate, write. Like AppendExisting, it takes a plain file only: a link at
        // the name is not followed, a FIFO is not waited for, and the open fails with
        // NotPlainFile() for them and for anything else that is no plain file.
        CreateTruncate,
        // Create a new file, write. A file an interrupted writer left at the name is removed
        // first; one a live writer holds is left alone and the open fails. Never writes through
        // a link at the name: the link itself is removed.
        CreateFresh,
        AppendExisting,  // must exist, write at its end
        ReadExisting,    // must exist, read
        RewriteExisting, // a plain file that must exist: read and write in place, nothing truncated
    };

    CLocalFile() = default;
    ~CLocalFile();
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;

    // Files are created with mode 0666 less the umask, or with `permissions` when given.
    bool Open(const std::string& path, Mode mode, unsigned permissions = 0666);
    bool Write(const void* data, size_t count);
    // Bytes read, 0 at the end; -1 on failure.
    long Read(void* buffer, size_t count);
    bool Flush();
    // Room on the disk for a file of `nSize` bytes, taken before anything is written, so that a
    // rewrite that fits is not cut off by a full disk. The size stays as it was; a file system
    // that cannot reserve counts as one that could.
    bool Reserve(std::uint64_t nSize);
    bool SeekTo(std::uint64_t nOffset);
    bool Truncate(std::uint64_t nSize);
    // Sets the last-access and last-write times, in seconds since 1970.
    [[nodiscard]] bool SetTimes(std::int64_t when);
    bool Close();
    bool IsOpen() const { return m_fd >= 0; }

    const SystemError& LastError() const { return m_error; }

    // The error of an open refused because something other than a plain file stands at the name.
    static SystemError NotPlainFile();

private:
    bool Fail();
    // Fails with NotPlainFile() when something other than a plain file stands at `path`, else
    // with errno.
    bool FailPlainOpen(const std::string& path);

    int m_fd = -1;
    SystemError m_error;
};
