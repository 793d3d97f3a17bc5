#pragma once

#include "platform/SystemError.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CCrawlJob;
class CInternetThread;
class IEngineContext;
class ICrawlOwner;
class ILinkReport;

// The one way a run starts and ends, for the window and the console alike: the destination
// checked (and created on request), shortcut.url and the log header written, the settings read
// once, the job built and handed to the worker; at the end, the outcome and its log line. The
// front ends keep only what is theirs: asking, showing, and owning the job while it runs.
namespace RunPath
{

enum class Destination
{
    Ready,
    Empty,
    NotAFolder,
    Declined,
    CannotCreate,
};

// Gives `strDestination` its final '/' and makes sure the folder exists; `askToCreate` is asked
// only when it does not. An existing file of that name is NotAFolder, its name left as given.
[[nodiscard]] Destination CheckDestination(std::string& strDestination,
                                           const std::function<bool()>& askToCreate);

struct Request
{
    std::string strUrl;
    // Checked, ending with '/'.
    std::string strDestination;
    std::string strUserId;
    std::string strPassword;
    bool bCrawl = false;
    // (value name, value) edits of the stored settings for this run only.
    std::vector<std::pair<std::string, std::string>> settingEdits;
    // For this run only, never stored: whether certificates are checked, and a report told
    // what became of every link value found (not owned; it must outlive the run).
    bool bCheckCertificates = true;
    ILinkReport* pLinkReport = nullptr;
    // Where that report is written, so that no site's file replaces it.
    std::string strLinkReportPath = {};
};

enum class StartFailure
{
    None,
    LogNotPlainFile, // something other than a plain file stands at the log's name; nothing written
    Shortcut,        // strError holds the system's text
    Header,          // the log writer has told the user
    Setting,         // strError names the edit that was refused
};

struct Started
{
    // The running job, null when the run did not start. The worker holds it until it reports the
    // end: free it only after that, or after the worker has ended.
    std::unique_ptr<CCrawlJob> pJob;
    StartFailure failure = StartFailure::None;
    std::string strError;
};

// Writes the run's records, builds the job from the settings stored now and hands it to
// `worker`, which tells `owner` when the run has ended. Without its records a run does not start.
[[nodiscard]] Started Start(IEngineContext& context, CInternetThread& worker, ICrawlOwner& owner,
                            const Request& request);

enum class Outcome
{
    Complete,
    Stopped,
    Failed,
};

// A failure outranks a user stop: a run that failed after Stop was pressed reports the failure.
[[nodiscard]] Outcome OutcomeOf(bool bResult, bool bUserStop);
const char* OutcomeLine(Outcome outcome);
// The line that ends the run's log. A line the log refuses has been shown to the user.
void LogOutcome(IEngineContext& context, Outcome outcome);

} // namespace RunPath
