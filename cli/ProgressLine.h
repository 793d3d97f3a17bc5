#pragma once

#include "crawl/CrawlProgress.h"

#include <string>

// One line, cut to `width` columns: counts, rate, bytes (and percentage when the length is
// known), then as much of the address as fits.
std::string FormatProgressLine(const CrawlProgress& progress, size_t width);
