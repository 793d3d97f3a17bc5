#include "cli/ProgressLine.h"

#include <cstdio>

std::string FormatProgressLine(const ProgressSnapshot& progress, size_t width)
{
    char head[160];
    int length = std::snprintf(head, sizeof head, "[%ld done, %ld pending] %3.2f KBps ", progress.nProcessed,
                               progress.nPending, progress.dRate * 0.001);
    std::string line(head, static_cast<size_t>(length));

    char bytes[96];
    if (progress.nBytesExpected > 0)
    {
        const double percent = 100.0 * static_cast<double>(progress.nBytesReceived) /
                               static_cast<double>(progress.nBytesExpected);
        length = std::snprintf(bytes, sizeof bytes, "%.1f of %.1fk (%.1f%%) ",
                               progress.nBytesReceived / 1024.0, progress.nBytesExpected / 1024.0, percent);
    }
    else
    {
        length = std::snprintf(bytes, sizeof bytes, "%.1fk ", progress.nBytesReceived / 1024.0);
    }
    line.append(bytes, static_cast<size_t>(length));
    line += progress.strCurrentUrl;

    if (line.size() <= width)
        return line;
    // Cut at a character boundary: never leave half of a multi-byte character at the end.
    size_t cut = width;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
    line.resize(cut);
    return line;
}
