#include "run/ProgressText.h"

#include <cstdio>

namespace ProgressText
{

std::string Rate(double dBytesPerSecond)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%3.2f KBps", dBytesPerSecond * 0.001);
    return {text, static_cast<size_t>(length)};
}

std::string FileProgress(long long nReceived, long long nExpected)
{
    char text[128];
    const int length =
        std::snprintf(text, sizeof text, "%.1f of %.1fk (%.1f%%)", static_cast<double>(nReceived) / 1024,
                      static_cast<double>(nExpected) / 1024,
                      100.0 * static_cast<double>(nReceived) / static_cast<double>(nExpected));
    return {text, static_cast<size_t>(length)};
}

std::string UnderWay(int nTransfers)
{
    if (nTransfers <= 1)
        return {};
    std::string strText = std::to_string(nTransfers);
    strText.insert(strText.begin(), '(');
    strText += " under way)";
    return strText;
}

} // namespace ProgressText
