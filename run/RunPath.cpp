#include "run/RunPath.h"

#include "crawl/CrawlJob.h"
#include "crawl/InternetThread.h"
#include "platform/EngineContext.h"
#include "platform/FileSystem.h"
#include "platform/PathParts.h"
#include "run/MainApp.h"
#include "run/SessionLog.h"
#include "run/ShortcutFile.h"
#include "settings/RunSettings.h"

namespace RunPath
{

Destination CheckDestination(std::string& strDestination, const std::function<bool()>& askToCreate)
{
    // An empty field would make the file-system root the destination of the mirror.
    if (strDestination.empty())
        return Destination::Empty;
    // A file of that name is no folder to create, though named with a final '/' it looks missing.
    const std::string strName =
        strDestination.back() == '/' ? strDestination.substr(0, strDestination.size() - 1) : strDestination;
    if (!strName.empty() && FileSystem::Exists(strName) && !FileSystem::IsDirectory(strName))
        return Destination::NotAFolder;
    PathParts::AddFinalSlash(strDestination);
    if (FileSystem::Exists(strDestination))
        return FileSystem::IsDirectory(strDestination) ? Destination::Ready : Destination::NotAFolder;
    if (!askToCreate())
        return Destination::Declined;
    return FileSystem::CreatePath(strDestination) ? Destination::Ready : Destination::CannotCreate;
}

Started Start(IEngineContext& context, CInternetThread& worker, ICrawlOwner& owner, const Request& request)
{
    Started started;
    // A link there would send the log elsewhere and a FIFO would hold the run up: the user hears
    // of it before anything is written or fetched.
    if (FileSystem::IsOtherThanPlainFile(request.strDestination + CMainApp::kLogFileName))
    {
        started.failure = StartFailure::LogNotPlainFile;
        return started;
    }
    SystemError error;
    if (!CShortcutFile::Write(request.strDestination, request.strUrl, request.strUserId, request.strPassword,
                              &error))
    {
        started.failure = StartFailure::Shortcut;
        started.strError = error.text;
        return started;
    }
    if (!SessionLog::WriteHeader(context, request.strUrl, request.strDestination))
    {
        started.failure = StartFailure::Header;
        return started;
    }

    RunSettings settings = RunSettings::Read(&context);
    for (const auto& [name, value] : request.settingEdits)
    {
        if (!settings.Set(name, value))
        {
            started.failure = StartFailure::Setting;
            started.strError.append("cannot use ").append(value).append(" for ").append(name);
            return started;
        }
    }

    started.pJob = std::make_unique<CCrawlJob>(context, settings, request.strUrl, request.strDestination,
                                               request.strUserId, request.strPassword, request.bCrawl);
    started.pJob->SetCheckCertificates(request.bCheckCertificates);
    started.pJob->SetLinkReport(request.pLinkReport);
    std::vector<std::string> ownFiles{request.strDestination + CMainApp::kLogFileName,
                                      request.strDestination + CShortcutFile::kFileName};
    if (!request.strLinkReportPath.empty())
        ownFiles.push_back(request.strLinkReportPath);
    started.pJob->SetOwnFiles(std::move(ownFiles));
    worker.SetOwner(&owner);
    worker.SetJob(started.pJob.get());
    worker.PostThreadMessage(TM_RUNJOB);
    return started;
}

Outcome OutcomeOf(bool bResult, bool bUserStop)
{
    if (!bResult)
        return Outcome::Failed;
    return bUserStop ? Outcome::Stopped : Outcome::Complete;
}

const char* OutcomeLine(Outcome outcome)
{
    return SessionLog::OutcomeLine(outcome != Outcome::Failed, outcome == Outcome::Stopped);
}

void LogOutcome(IEngineContext& context, Outcome outcome)
{
    // The run is over either way; the log writer has told the user when the line was refused.
    (void)context.WriteErrorLog(OutcomeLine(outcome), false);
}

} // namespace RunPath
