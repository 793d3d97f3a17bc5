#include "crawl/OfflineMirror.h"

#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/LocalFile.h"

#include <filesystem>
#include <utility>

void COfflineMirror::AddStored(const std::string& strAddress, const std::string& strLocalPath)
{
    m_targets[strAddress] = strLocalPath;
}

void COfflineMirror::AddPage(const std::string& strAddress, const std::string& strLocalPath,
                             std::vector<LinkSite> sites)
{
    if (!m_pageIndex.emplace(strLocalPath, m_pages.size()).second)
        return;
    m_pages.push_back(Page{strAddress, strLocalPath, std::move(sites)});
}

COfflineMirror::Outcome COfflineMirror::Convert(IEngineContext& context) const
{
    const CLinkConverter converter(m_targets);
    Outcome outcome;
    for (const Page& page : m_pages)
    {
        bool bWritten = false;
        const std::string strError = ConvertPage(converter, page, bWritten);
        if (strError.empty())
        {
            outcome.nConverted += bWritten ? 1 : 0;
            continue;
        }
        ++outcome.nFailed;
        // The run's outcome does not hang on it; a line the log refuses has been shown already.
        (void)context.WriteErrorLog(strError, false);
    }
    return outcome;
}

std::string COfflineMirror::ConvertPage(const CLinkConverter& converter, const Page& page, bool& bWritten)
{
    bWritten = false;
    const std::string strFailure = "Unable to convert the links of [" + page.localPath + "], error [";
    SystemError error;
    std::error_code sizeError;
    const std::uintmax_t nSize = std::filesystem::file_size(page.localPath, sizeError);
    const std::optional<std::int64_t> time = FileSystem::GetWriteTime(page.localPath, &error);
    if (sizeError || !time)
        return strFailure + std::to_string(sizeError ? sizeError.value() : error.code) + "].";
    const std::optional<std::string> text = FileSystem::ReadFileStart(page.localPath, nSize + 1, &error);
    if (!text)
        return strFailure + std::to_string(error.code) + "].";
    const std::string converted = converter.Convert(*text, page.address, page.localPath, page.sites);
    if (converted == *text)
        return {};

    // The new text goes to a file of its own first, so the page is either the old or the new.
    const std::string strPartial = FileSystem::PartialPath(page.localPath);
    CLocalFile file;
    bool bOk = file.Open(strPartial, CLocalFile::Mode::CreateFresh) &&
               file.Write(converted.data(), converted.size());
    // The copy keeps the server's time, by which the date modes judge it.
    bOk = bOk && file.SetTimes(*time);
    const int nCode = file.LastError().code;
    bOk = file.Close() && bOk;
    if (bOk && FileSystem::Move(strPartial, page.localPath, &error))
    {
        bWritten = true;
        return {};
    }
    (void)FileSystem::Delete(strPartial);
    return strFailure + std::to_string(bOk ? error.code : (nCode != 0 ? nCode : file.LastError().code)) +
           "].";
}
