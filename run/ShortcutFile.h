#pragma once

#include "platform/SystemError.h"

#include <optional>
#include <string>

// The internet shortcut a run leaves in its destination folder: four CR LF lines naming the start
// address and the credentials, readable on Windows too. The password is in plain text, so the file
// is created readable by its owner only.
struct ShortcutContents
{
    // Set when the file has the header and an address line, even an empty one.
    std::optional<std::string> strUrl;
    // Only a file named "shortcut.url" gives these; any other .url file gives the address alone.
    std::optional<std::string> strDestination;
    std::optional<std::string> strUserId;
    std::optional<std::string> strPassword;
};

class CShortcutFile
{
public:
    static constexpr const char* kFileName = "shortcut.url";

    // Writes "shortcut.url" into `destination` (a '/' is added when missing).
    static bool Write(const std::string& destination, const std::string& url, const std::string& userId,
                      const std::string& password, SystemError* error = nullptr);

    // Nothing when the file cannot be read or is no plain file; no address when its first line is
    // not the header, so that the caller keeps what it had. Only the first few KiB are read.
    static std::optional<ShortcutContents> Read(const std::string& path);
};
