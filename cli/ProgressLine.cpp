#include "cli/ProgressLine.h"

#include "run/ProgressText.h"

#include <cstdio>

std::string FormatProgressLine(const CrawlProgress& progress, size_t width)
{
    char counts[96];
    int length = progress.nUnderWay > 1
                     ? std::snprintf(counts, sizeof counts, "[%ld done, %ld pending, %d under way] ",
                                     progress.nProcessed, progress.nPending, progress.nUnderWay)
                     : std::snprintf(counts, sizeof counts, "[%ld done, %ld pending] ", progress.nProcessed,
                                     progress.nPending);
    std::string line(counts, static_cast<size_t>(length));
    line += ProgressText::Rate(progress.dRate) + ' ';

    if (progress.nBytesExpected > 0)
    {
        line += ProgressText::FileProgress(progress.nBytesReceived, progress.nBytesExpected);
    }
    else
    {
        char bytes[64];
        length =
            std::snprintf(bytes, sizeof bytes, "%.1fk", static_cast<double>(progress.nBytesReceived) / 1024);
        line.append(bytes, static_cast<size_t>(length));
    }
    line += ' ';
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
