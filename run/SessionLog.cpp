#include "run/SessionLog.h"

#include "run/MainApp.h"

namespace SessionLog
{

bool WriteHeader(CMainApp& app, const std::string& url, const std::string& destination)
{
    const std::string rule(74, '=');
    // A run does not start without its header, so the first line that fails is reported once
    // and the rest are not attempted.
    return app.WriteErrorLog(rule, true) && app.WriteErrorLog("New Session", false) &&
           app.WriteErrorLog("     Source: " + url, false) &&
           app.WriteErrorLog("Destination: " + destination, false) && app.WriteErrorLog(rule, false) &&
           app.WriteErrorLog("", false);
}

const char* OutcomeLine(bool bResult, bool bUserStop)
{
    if (!bResult)
        return "Site processing failed.";
    if (bUserStop)
        return "Processing stopped by user.";
    return "Site processing complete.";
}

} // namespace SessionLog
