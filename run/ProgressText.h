#pragma once

#include <string>

// The progress texts both front ends show, so that the window and the console read alike.
namespace ProgressText
{

// "12.34 KBps": bytes per second in thousands.
std::string Rate(double dBytesPerSecond);
// "352.0 of 204800.0k (0.2%)"; `nExpected` must not be 0.
std::string FileProgress(long long nReceived, long long nExpected);
// "(3 under way)": how many transfers run at once, when more than one does; empty otherwise.
std::string UnderWay(int nTransfers);

} // namespace ProgressText
