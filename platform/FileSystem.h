#pragma once

#include "platform/SystemError.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The file-system calls the engine needs, each reporting its failure through `error` when given.
// File times are seconds since 1970. POSIX has no settable creation time, so the last-write
// time stands for it: it is what the date comparison reads and what a stored file is stamped with.
namespace FileSystem
{

// What tells one file from another, whichever name it is reached by.
struct Identity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const Identity&) const = default;
};

bool Exists(const std::string& path); // a file or directory whose attributes can be read
bool IsDirectory(const std::string& path);
// Whether something other than a plain file stands at `path`: a folder, a FIFO, a device, or a
// link, whatever it points to. False when nothing is there or it cannot be looked at.
bool IsOtherThanPlainFile(const std::string& path);
// The identity of what stands at `path` itself (a link there is not followed); nothing when
// nothing is there or it cannot be looked at.
std::optional<Identity> IdentityOf(const std::string& path);
bool CreateDirectory(const std::string& path, SystemError* error = nullptr);
// Creates every missing folder on the way to the last '/' of `path`.
bool CreatePath(const std::string& path, SystemError* error = nullptr);
bool Delete(const std::string& path, SystemError* error = nullptr);
bool Move(const std::string& from, const std::string& to, SystemError* error = nullptr);
std::optional<std::int64_t> GetWriteTime(const std::string& path, SystemError* error = nullptr);
// The size of the plain file at `path` itself; empty for a link, a folder or anything else.
std::optional<std::int64_t> PlainFileSize(const std::string& path, SystemError* error = nullptr);
bool SetTimes(const std::string& path, std::int64_t when, SystemError* error = nullptr);
// Writes everything waiting for the file system that holds `path` (a folder) to its disk.
bool SyncFileSystem(const std::string& path, SystemError* error = nullptr);
// At most the first `maxBytes` of a plain file (a link to one counts). Anything else, a FIFO or a
// device, is refused without waiting for it, as is a file that cannot be read.
std::optional<std::string> ReadFileStart(const std::string& path, size_t maxBytes,
                                         SystemError* error = nullptr);
// The name a file is written under before it is moved to `path`: in the same folder, hidden, of
// one short length whatever the final name's, and the same for the same final name, so that what
// an interrupted run left is found and replaced by the next.
std::string PartialPath(const std::string& path);
// The running program's file name without its folder and extension ("harvestly" when unknown).
std::string ExecutableBaseName();

} // namespace FileSystem
