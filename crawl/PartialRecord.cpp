#include "crawl/PartialRecord.h"

#include "platform/FileSystem.h"
#include "platform/LocalFile.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace
{

constexpr std::string_view kPartialEnding = ".part";
constexpr std::string_view kRecordEnding = ".resume";
// A record holds one address, one header value and a number: far below this.
constexpr size_t kMaxRecordBytes = size_t{64} * 1024;

bool EndsWith(std::string_view text, std::string_view ending)
{
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

} // namespace

std::string PartialRecord::PathFor(const std::string& strPartialPath)
{
    std::string strPath = strPartialPath;
    if (EndsWith(strPath, kPartialEnding))
        strPath.resize(strPath.size() - kPartialEnding.size());
    return strPath + std::string(kRecordEnding);
}

std::optional<PartialRecord> PartialRecord::Read(const std::string& strPartialPath)
{
    const std::optional<std::string> text =
        FileSystem::ReadFileStart(PathFor(strPartialPath), kMaxRecordBytes);
    if (!text)
        return std::nullopt;
    // Three lines, each ended: a record cut short by a crash is no record.
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text->find('\n'); end != std::string::npos; end = text->find('\n', start))
    {
        lines.push_back(text->substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() != 3 || start != text->size() || lines[0].empty() || lines[1].empty())
        return std::nullopt;
    PartialRecord record{lines[0], lines[1], 0};
    try
    {
        size_t nUsed = 0;
        record.nExpected = std::stoll(lines[2], &nUsed);
        if (nUsed != lines[2].size() || record.nExpected < 0)
            return std::nullopt;
    }
    catch (const std::exception&)
    {
        return std::nullopt;
    }
    return record;
}

bool PartialRecord::Write(const std::string& strPartialPath) const
{
    // A line break in a value would make another record of it.
    if (strAddress.find_first_of("\r\n") != std::string::npos ||
        strValidator.find_first_of("\r\n") != std::string::npos || strAddress.empty() || strValidator.empty())
        return false;
    const std::string strText = strAddress + '\n' + strValidator + '\n' + std::to_string(nExpected) + '\n';
    const std::string strPath = PathFor(strPartialPath);
    CLocalFile file;
    const bool bWritten =
        file.Open(strPath, CLocalFile::Mode::CreateFresh) && file.Write(strText.data(), strText.size());
    if (file.Close() && bWritten)
        return true;
    (void)FileSystem::Delete(strPath);
    return false;
}

void PartialRecord::Remove(const std::string& strPartialPath)
{
    (void)FileSystem::Delete(PathFor(strPartialPath));
    (void)FileSystem::Delete(strPartialPath);
}

size_t PartialRecord::RemoveAllUnder(const std::string& strFolder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> records;
    std::error_code error;
    // Links to folders are not followed: what lies behind them is no part of the mirror.
    for (fs::recursive_directory_iterator it(strFolder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error))
    {
        const std::string strName = it->path().filename().string();
        if (strName.rfind(".harvestly-", 0) == 0 && EndsWith(strName, kRecordEnding) &&
            it->is_regular_file(error))
            records.push_back(it->path().string());
    }
    for (const std::string& strRecord : records)
    {
        const std::string strStem = strRecord.substr(0, strRecord.size() - kRecordEnding.size());
        Remove(strStem + std::string(kPartialEnding));
    }
    return records.size();
}
