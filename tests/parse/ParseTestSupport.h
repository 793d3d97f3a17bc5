#pragma once

#include "parse/AddressSteps.h"
#include "parse/LineScan.h"
#include "parse/LinkDecoding.h"
#include "parse/LinkParser.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"

#include <string>
#include <utility>
#include <vector>

struct QueuedAddress
{
    std::string address;
    bool bKeep;
    bool operator==(const QueuedAddress&) const = default;
};

// Empties the queue, head first.
inline std::vector<QueuedAddress> Drain(CUrlQueue& queue)
{
    std::vector<QueuedAddress> drained;
    while (queue.Count() > 0)
    {
        const bool bKeep = queue.HeadKeep();
        drained.push_back({queue.PopFront(), bKeep});
    }
    return drained;
}

inline std::vector<std::string> Addresses(const std::vector<QueuedAddress>& queued)
{
    std::vector<std::string> addresses;
    for (const QueuedAddress& entry : queued)
        addresses.push_back(entry.address);
    return addresses;
}

// The link values of one line, decoded the way the page reader decodes it.
inline std::vector<std::string> LinkValues(std::string line)
{
    LinkDecoding::DecodeEntities(line);
    LinkDecoding::DecodeEscapes(line);
    std::vector<std::string> values;
    CLineScan scan(line);
    for (std::string link; scan.Next(link);)
        values.push_back(link);
    return values;
}
