#include "crawl/ResumePolicy.h"

#include "crawl/FetchResult.h"
#include "crawl/FileStore.h"
#include "crawl/GetResponse.h"
#include "crawl/PartialRecord.h"
#include "crawl/RequestConditions.h"
#include "crawl/ServerConnection.h"
#include "platform/EngineContext.h"
#include "platform/FileSystem.h"

#include <optional>

CResumePolicy::CResumePolicy(IEngineContext& context, bool bByDate, bool bResume, bool bCompressed)
    : m_context(context), m_bByDate(bByDate), m_bResume(bResume), m_bCompressed(bCompressed)
{
}

RequestConditions CResumePolicy::ConditionsFor(const LocalNames::LocalName& name,
                                               const std::string& strUrl) const
{
    RequestConditions conditions;
    // A copy whose time cannot be read counts as older: it is asked for without a condition.
    if (m_bByDate && !name.bTemporary && FileSystem::Exists(name.strPath))
        conditions.ifModifiedSince = FileSystem::GetWriteTime(name.strPath);
    if (!name.bTemporary)
        AddResumePoint(conditions, name.strPath, strUrl);
    return conditions;
}

void CResumePolicy::AddResumePoint(RequestConditions& conditions, const std::string& strLocalPath,
                                   const std::string& strUrl) const
{
    if (!m_bResume || m_bCompressed)
        return;
    const std::string strPartial = FileSystem::PartialPath(strLocalPath);
    const std::optional<PartialRecord> record = PartialRecord::Read(strPartial);
    if (!record || record->strAddress != strUrl)
        return;
    // A part as long as the whole file, or longer, is no part of it.
    const std::optional<std::int64_t> nHeld = FileSystem::PlainFileSize(strPartial);
    if (!nHeld || *nHeld <= 0 || (record->nExpected > 0 && *nHeld >= record->nExpected))
        return;
    conditions.nResumeFrom = *nHeld;
    conditions.strValidator = record->strValidator;
}

GetResponse CResumePolicy::Request(CServerConnection& connection, const std::string& strObject,
                                   const std::string& strLocalPath, RequestConditions& conditions,
                                   BodyPlan& plan) const
{
    GetResponse response = connection.Get(strObject, conditions.Headers());
    if (conditions.nResumeFrom > 0 && response.bOk)
    {
        using RangeAnswer = RequestConditions::RangeAnswer;
        const RangeAnswer answer = conditions.Judge(response.nStatus, response.strContentRange,
                                                    response.strETag, response.strLastModified);
        if (answer == RangeAnswer::Append)
        {
            plan.nFrom = conditions.nResumeFrom;
            plan.strValidator = conditions.strValidator;
            return response;
        }
        // A failed answer says nothing of the file: the part waits for the next attempt.
        if (answer == RangeAnswer::Whole && response.IsFailedAnswer())
            return response;
        // Whatever else came, the part is of no further use: bytes of two versions are never
        // joined.
        PartialRecord::Remove(FileSystem::PartialPath(strLocalPath));
        conditions.nResumeFrom = 0;
        if (answer == RangeAnswer::AskAgain)
        {
            connection.CloseRequest();
            response = connection.Get(strObject, conditions.Headers());
        }
    }
    plan.strValidator = RequestConditions::ValidatorOf(response.strETag, response.strLastModified);
    return response;
}

bool CResumePolicy::NotModified(FetchResult& result, const RequestConditions& conditions,
                                const std::string& strObject) const
{
    if (!conditions.ifModifiedSince)
    {
        // Taken as a file it would be an empty one.
        result.strError =
            "Error: the server answered 304 (not modified) to a request without a condition: " + strObject;
        // A line the log refuses has been shown to the user already; the fetch fails either way.
        (void)m_context.WriteErrorLog(result.strError, false);
        return false;
    }
    // The answer names no type: the copy's name decides, as for a copy not asked for at all.
    result.strContentType = LocalNames::TypeFromName(result.strLocalPath);
    return true;
}

std::string CResumePolicy::DropOrKeepPart(CFileStore& store, const FetchResult& result, const BodyPlan& plan,
                                          const std::string& strUrl, std::int64_t nHeld,
                                          std::int64_t nExpected) const
{
    // The decoded bytes of a compressed body are no range of what the server would send.
    if (m_bResume && !m_bCompressed && !result.bTemporary && !plan.strValidator.empty() && nHeld > 0)
    {
        const PartialRecord record{strUrl, plan.strValidator, nExpected};
        if (store.KeepPartial() && record.Write(store.PartialPath()))
            return "File not complete, keeping its " + std::to_string(nHeld) + " bytes to resume [" +
                   result.strLocalPath + "]";
    }
    // Without a version to ask for, the rest might come from another one.
    store.Discard();
    return "File not complete, deleting [" + result.strLocalPath + "]";
}

void CResumePolicy::RemoveKeptParts(const std::string& strDestDir) const
{
    if (m_bResume && !strDestDir.empty())
        (void)PartialRecord::RemoveAllUnder(strDestDir);
}
