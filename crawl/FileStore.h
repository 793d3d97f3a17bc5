#pragma once

#include "platform/LocalFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One file being stored. The body goes to a private partial name beside the final one, created
// fresh, so an old copy survives a transfer that breaks and no link at the name is written
// through; only a finished body is renamed into place. A store dropped before it was put in
// place or kept deletes its partial file, so a cut transfer never leaves one behind.
//
// Failures come back as the error log's line, empty when the step succeeded.
class CFileStore
{
public:
    explicit CFileStore(std::string strLocalPath);
    ~CFileStore();
    CFileStore(const CFileStore&) = delete;
    CFileStore& operator=(const CFileStore&) = delete;

    // Makes the missing folders and creates the partial file.
    [[nodiscard]] std::string Create();
    // Opens the partial file a cut transfer left, to write the rest of the body after its end.
    [[nodiscard]] std::string Continue();
    // Gathers blocks and writes them together: one system call per network block would cap the
    // transfer far below what the network delivers.
    [[nodiscard]] std::string Write(const char* pData, size_t nCount);
    // Writes what is gathered, stamps the file with `lastModified` when known, and closes it. After
    // a failed Write nothing more is written and no further failure is named.
    [[nodiscard]] std::string Finish(const std::optional<std::int64_t>& lastModified);
    // Moves the finished file to its final name; with `bKeepOldCopy` a copy already there is first
    // renamed with the time it was written. A failed move deletes the partial file.
    [[nodiscard]] std::string PutInPlace(bool bKeepOldCopy);
    // Leaves the finished file under its private name and gives that name.
    std::string KeepPrivate();
    // Closes and deletes the partial file.
    void Discard();
    // Writes what is gathered and leaves the partial file where it is, for a later transfer to
    // continue; false (and the partial file deleted) when it could not be written whole.
    bool KeepPartial();

    const std::string& LocalPath() const { return m_strLocalPath; }
    const std::string& PartialPath() const { return m_strPartialPath; }

private:
    std::string WriteOut();
    std::string WriteError() const;
    void RenameOldCopy() const;

    std::string m_strLocalPath;
    std::string m_strPartialPath;
    CLocalFile m_file;
    std::vector<char> m_buffer;
    size_t m_nBuffered = 0;
    bool m_bWriteFailed = false;
    // The partial file is the store's to delete: created and not yet placed, kept or deleted.
    bool m_bOwnsPartial = false;
};
