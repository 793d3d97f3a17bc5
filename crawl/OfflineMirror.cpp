#include "crawl/OfflineMirror.h"

#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/LocalFile.h"

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

// The page is rewritten in place: a new file for each page, moved over the old one, would free
// as many files as it makes, and on ext4 without a journal every new file then costs a pass over
// the files freed in the last seconds. Room for the new text is taken first, and what cannot be
// written whole is undone from the old text held here.
std::string COfflineMirror::ConvertPage(const CLinkConverter& converter, const Page& page, bool& bWritten)
{
    bWritten = false;
    const std::string strFailure = "Unable to convert the links of [" + page.localPath + "], error [";
    const auto failed = [&](const SystemError& error)
    { return strFailure + std::to_string(error.code) + "]."; };
    SystemError error;
    const std::optional<std::int64_t> time = FileSystem::GetWriteTime(page.localPath, &error);
    if (!time)
        return failed(error);
    CLocalFile file;
    if (!file.Open(page.localPath, CLocalFile::Mode::RewriteExisting))
        return failed(file.LastError());
    std::string text;
    if (!ReadAll(file, text))
        return failed(file.LastError());
    const std::string converted = converter.Convert(text, page.address, page.localPath, page.sites);
    if (converted == text)
        return {};
    if (!file.Reserve(converted.size()))
        return failed(file.LastError());
    const bool bOk =
        file.SeekTo(0) && file.Write(converted.data(), converted.size()) && file.Truncate(converted.size());
    const SystemError writeError = file.LastError();
    if (!bOk)
        (void)(file.SeekTo(0) && file.Write(text.data(), text.size()) && file.Truncate(text.size()));
    // The copy keeps the server's time, by which the date modes judge it, whatever became of it.
    (void)file.SetTimes(*time);
    if (!bOk)
        return failed(writeError);
    if (!file.Close())
        return failed(file.LastError());
    bWritten = true;
    return {};
}

bool COfflineMirror::ReadAll(CLocalFile& file, std::string& text)
{
    constexpr size_t kBlock = size_t{64} * 1024;
    for (;;)
    {
        const size_t nHave = text.size();
        text.resize(nHave + kBlock);
        const long count = file.Read(text.data() + nHave, kBlock);
        if (count < 0)
            return false;
        text.resize(nHave + static_cast<size_t>(count));
        if (count == 0)
            return true;
    }
}
