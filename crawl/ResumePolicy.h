#pragma once

#include "crawl/LocalNames.h"

#include <cstdint>
#include <string>

class CFileStore;
class CServerConnection;
class IEngineContext;
struct FetchResult;
struct GetResponse;
struct RequestConditions;

// What a request asks beyond the plain address, and what a cut transfer leaves for the next
// attempt: the date condition against a local copy and the rest of a kept part. Kept apart from
// the fetcher so that the rules on which bytes may be joined stay in one place.
class CResumePolicy
{
public:
    // How the body is written: over an old copy (renamed first with `bKeepOldCopy`), after the
    // first `nFrom` bytes a partial file already holds, and the version it is (for a later
    // attempt to ask for the rest when this one is cut).
    struct BodyPlan
    {
        bool bKeepOldCopy = false;
        std::int64_t nFrom = 0;
        std::string strValidator;
    };

    CResumePolicy(IEngineContext& context, bool bByDate, bool bResume, bool bCompressed);

    // The conditions the request for `strUrl`, stored as `name`, carries: the copy's date and the
    // rest of a kept part.
    RequestConditions ConditionsFor(const LocalNames::LocalName& name, const std::string& strUrl) const;
    // Sends the request with what the copy and the partial file held ask, and asks once more
    // for the whole file when the answer to a request for the rest cannot be appended. Fills in
    // `plan`'s start and version.
    GetResponse Request(CServerConnection& connection, const std::string& strObject,
                        const std::string& strLocalPath, RequestConditions& conditions, BodyPlan& plan) const;
    // A 304: the copy stays, unless no condition was asked, which makes it a failure.
    bool NotModified(FetchResult& result, const RequestConditions& conditions,
                     const std::string& strObject) const;
    // A transfer of `strUrl` cut short after `nHeld` of `nExpected` bytes: its part is kept for
    // the next attempt when resuming is on, the answer named a version and the part holds
    // something. Gives the log line saying which.
    std::string DropOrKeepPart(CFileStore& store, const FetchResult& result, const BodyPlan& plan,
                               const std::string& strUrl, std::int64_t nHeld, std::int64_t nExpected) const;
    // For a run that reached its end: the parts kept from cut transfers are needed no more.
    // Nothing happens unless cut transfers are resumed.
    void RemoveKeptParts(const std::string& strDestDir) const;

private:
    // The rest of a partial file that may be asked for, added to `conditions`.
    void AddResumePoint(RequestConditions& conditions, const std::string& strLocalPath,
                        const std::string& strUrl) const;

    IEngineContext& m_context;
    bool m_bByDate = false;
    bool m_bResume = false;
    bool m_bCompressed = false;
};
