#include "crawl/FileStore.h"

#include "crawl/LocalNames.h"
#include "platform/FileSystem.h"
#include "platform/TimeFormat.h"

#include <cstring>
#include <ctime>
#include <utility>

namespace
{

constexpr size_t kWriteBufferBytes = size_t{64} * 1024;
constexpr const char* kStampFormat = " %Y%m%d%H%M%S";
constexpr int kMaxStampVariants = 100;

} // namespace

CFileStore::CFileStore(std::string strLocalPath)
    : m_strLocalPath(std::move(strLocalPath)), m_strPartialPath(FileSystem::PartialPath(m_strLocalPath))
{
}

CFileStore::~CFileStore()
{
    if (m_bOwnsPartial)
        Discard();
}

std::string CFileStore::Create()
{
    // A folder that cannot be made is reported by the file's creation below.
    (void)FileSystem::CreatePath(m_strLocalPath);
    if (!m_file.Open(m_strPartialPath, CLocalFile::Mode::CreateFresh))
        return "Unable to create file [" + m_strLocalPath + "], error [" +
               std::to_string(m_file.LastError().code) + "].";
    m_bOwnsPartial = true;
    m_buffer.resize(kWriteBufferBytes);
    m_nBuffered = 0;
    return {};
}

std::string CFileStore::Continue()
{
    // Only a plain file is appended to: a link at the partial name is never written through.
    if (!m_file.Open(m_strPartialPath, CLocalFile::Mode::AppendExisting))
        return "Unable to create file [" + m_strLocalPath + "], error [" +
               std::to_string(m_file.LastError().code) + "].";
    m_bOwnsPartial = true;
    m_buffer.resize(kWriteBufferBytes);
    m_nBuffered = 0;
    return {};
}

std::string CFileStore::Write(const char* pData, size_t nCount)
{
    if (m_bWriteFailed)
        return WriteError();
    if (m_nBuffered + nCount > m_buffer.size())
    {
        if (std::string strError = WriteOut(); !strError.empty())
            return strError;
    }
    if (nCount > m_buffer.size())
    {
        if (!m_file.Write(pData, nCount))
        {
            m_bWriteFailed = true;
            return WriteError();
        }
        return {};
    }
    std::memcpy(m_buffer.data() + m_nBuffered, pData, nCount);
    m_nBuffered += nCount;
    return {};
}

std::string CFileStore::WriteOut()
{
    const size_t nCount = std::exchange(m_nBuffered, 0);
    if (nCount == 0 || m_file.Write(m_buffer.data(), nCount))
        return {};
    m_bWriteFailed = true;
    return WriteError();
}

std::string CFileStore::WriteError() const
{
    return "WriteFile error [" + std::to_string(m_file.LastError().code) + "]";
}

std::string CFileStore::Finish(const std::optional<std::int64_t>& lastModified)
{
    const bool bFailedBefore = m_bWriteFailed;
    std::string strError = bFailedBefore ? std::string() : WriteOut();
    // A copy that keeps the time of its fetch is still the server's copy; a later run by date
    // only fetches it once more.
    if (lastModified)
        (void)m_file.SetTimes(*lastModified);
    if (!m_file.Close() && !m_bWriteFailed)
    {
        m_bWriteFailed = true;
        strError = WriteError();
    }
    return strError;
}

std::string CFileStore::PutInPlace(bool bKeepOldCopy)
{
    if (bKeepOldCopy && FileSystem::Exists(m_strLocalPath))
        RenameOldCopy();
    SystemError error;
    if (!FileSystem::Move(m_strPartialPath, m_strLocalPath, &error))
    {
        // A partial file that cannot be deleted keeps its hidden name and is replaced by the next
        // attempt; it never stands in for the finished file.
        Discard();
        return "Unable to create file [" + m_strLocalPath + "], error [" + std::to_string(error.code) + "].";
    }
    m_bOwnsPartial = false;
    return {};
}

std::string CFileStore::KeepPrivate()
{
    (void)m_file.Close();
    m_bOwnsPartial = false;
    return m_strPartialPath;
}

bool CFileStore::KeepPartial()
{
    const bool bWritten = !m_bWriteFailed && WriteOut().empty();
    if (!m_file.Close() || !bWritten)
    {
        Discard();
        return false;
    }
    m_bOwnsPartial = false;
    return true;
}

void CFileStore::Discard()
{
    (void)m_file.Close();
    (void)FileSystem::Delete(m_strPartialPath);
    m_bOwnsPartial = false;
}

void CFileStore::RenameOldCopy() const
{
    using LocalNames::StampedName;
    const std::optional<std::int64_t> written = FileSystem::GetWriteTime(m_strLocalPath);
    std::string strNewName = StampedName(
        m_strLocalPath,
        TimeFormat::Local(kStampFormat, static_cast<std::time_t>(written.value_or(std::time(nullptr)))));
    if (FileSystem::Exists(strNewName))
    {
        const std::string strNow = TimeFormat::LocalNow(kStampFormat);
        strNewName = StampedName(m_strLocalPath, strNow);
        // Two renames within one second would otherwise overwrite the earlier old copy.
        for (int n = 2; FileSystem::Exists(strNewName) && n <= kMaxStampVariants; ++n)
            strNewName = StampedName(m_strLocalPath, strNow + "-" + std::to_string(n));
    }
    // When the move fails the old copy is overwritten, as it would be without this mode.
    (void)FileSystem::Move(m_strLocalPath, strNewName);
}
