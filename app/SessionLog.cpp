#include "app/SessionLog.h"

#include "app/MainApp.h"

namespace SessionLog
{

bool WriteHeader(CMainApp& app, const std::string& url, const std::string& destination)
{
    const std::string rule(74, '=');
    bool ok = app.WriteErrorLog(rule, true);
    ok = app.WriteErrorLog("New Session", false) && ok;
    ok = app.WriteErrorLog("     Source: " + url, false) && ok;
    ok = app.WriteErrorLog("Destination: " + destination, false) && ok;
    ok = app.WriteErrorLog(rule, false) && ok;
    ok = app.WriteErrorLog("", false) && ok;
    return ok;
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
