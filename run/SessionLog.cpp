#include "run/SessionLog.h"

#include "platform/EngineContext.h"

namespace SessionLog
{

bool WriteHeader(IEngineContext& context, const std::string& url, const std::string& destination)
{
    const std::string rule(74, '=');
    // A run does not start without its header, so the first line that fails is reported once
    // and the rest are not attempted.
    return context.WriteErrorLog(rule, true) && context.WriteErrorLog("New Session", false) &&
           context.WriteErrorLog("     Source: " + url, false) &&
           context.WriteErrorLog("Destination: " + destination, false) &&
           context.WriteErrorLog(rule, false) && context.WriteErrorLog("", false);
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
