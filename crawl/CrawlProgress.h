#pragma once

#include "parse/UrlQueue.h"

#include <string>

// What a run in progress looks like at one moment, as both front ends show it. Taken by
// CCrawlJob::Progress from any thread while the worker runs.
struct CrawlProgress
{
    std::string strCurrentUrl;
    long long nBytesReceived = 0;
    long long nBytesExpected = 0; // 0 when the length is not known
    double dRate = 0;             // bytes per second
    long nProcessed = 0;
    long nPending = 0;
    // Transfers under way when several run at once; the address is the oldest of them.
    int nUnderWay = 0;
    // The first waiting addresses as a pending-address list shows them, with their serial.
    CUrlQueue::Shown pendingLines;
};
