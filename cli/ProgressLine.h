#pragma once

#include <string>

// What the console shows of a run in progress, read from the job.
struct ProgressSnapshot
{
    std::string strCurrentUrl;
    long long nBytesReceived = 0;
    long long nBytesExpected = 0; // 0 when the length is not known
    double dRate = 0;             // bytes per second
    long nProcessed = 0;
    long nPending = 0;
};

// One line, cut to `width` columns: counts, rate, bytes (and percentage when the length is
// known), then as much of the address as fits.
std::string FormatProgressLine(const ProgressSnapshot& progress, size_t width);
