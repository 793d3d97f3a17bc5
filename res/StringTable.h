#pragma once

#include <string>

// Identifiers of the program's string table.
enum StringId : unsigned
{
    IDS_ABOUTBOX = 101,
    IDS_SOCKETS_FAILED = 103,
    IDS_VERSION = 104,
    IDS_BROWSE_TITLE = 106,
    // The switches for today's sites.
    IDS_ALLOW_HTTPS = 110,
    IDS_HTML_WITH_PARAMETERS = 111,
    IDS_FOLLOW_CSS = 112,
    IDS_ROBOTS = 113,
    // The dialog of further values, and its entry on the window's menu.
    IDS_CONVERT_LINKS = 114,
    IDS_WAIT_MS = 115,
    IDS_LIMIT_RATE = 116,
    IDS_MORE_OPTIONS = 117,
    IDS_COMPRESSED = 118,
    IDS_CONNECTIONS = 119,
    IDS_RESUME = 120,
};

// The string with that identifier, or an empty text when there is none.
std::string LoadResString(unsigned id);
