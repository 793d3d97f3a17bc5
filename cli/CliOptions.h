#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What harvestly-cli was asked to do. Settings named here replace the stored ones for this run only.
struct CliOptions
{
    std::string strAddress;
    std::string strDestination;
    std::string strUserId;
    std::string strPassword;
    bool bPasswordGiven = false; // -p given, even empty: HARVESTLY_PASSWORD is not read
    bool bAskPassword = false;
    bool bCrawl = false;
    bool bYes = false;
    bool bQuiet = false;
    bool bHelp = false;
    bool bVersion = false;
    // (value name, value) edits of the run's settings (RunSettings::Set), in the order given.
    std::vector<std::pair<std::string, std::string>> settingOverrides;
};

struct CliParseResult
{
    std::optional<CliOptions> options;
    std::string strError; // one line, set when options is empty
};

CliParseResult ParseCliOptions(const std::vector<std::string>& arguments);

const char* CliUsageText();
