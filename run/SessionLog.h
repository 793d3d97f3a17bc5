#pragma once

#include <string>

class IEngineContext;

// The lines that open and close every run's error log, shared by the window and the console.
namespace SessionLog
{

// Starts a new log with the six header lines. False, after one message to the user, when a line
// could not be written.
bool WriteHeader(IEngineContext& context, const std::string& url, const std::string& destination);

// The outcome line that ends a run's log.
const char* OutcomeLine(bool bResult, bool bUserStop);

} // namespace SessionLog
