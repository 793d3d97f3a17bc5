#pragma once

#include <string>

// Identifiers of the program's string table.
enum StringId : unsigned
{
    IDS_ABOUTBOX = 101,
    IDS_SOCKETS_FAILED = 103,
    IDS_VERSION = 104,
    IDS_BROWSE_TITLE = 106,
};

// The string with that identifier, or an empty text when there is none.
std::string LoadResString(unsigned id);
