#pragma once

#include <cstdint>
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
    // Run only, never stored.
    bool bNoCheckCertificate = false;
    std::string strWhyFile; // a CSV report of every link value found; empty for none
    // (value name, value) edits of the run's settings (RunSettings::Set), in the order given.
    std::vector<std::pair<std::string, std::string>> settingOverrides;
};

struct CliParseResult
{
    std::optional<CliOptions> options;
    std::string strError; // one line, set when options is empty
};

CliParseResult ParseCliOptions(const std::vector<std::string>& arguments);

// "1.5" seconds as 1500 milliseconds, "20k" as 20480 bytes: a decimal number with at most three
// decimals times `nUnit`, times 1024 or 1048576 for a k or m suffix when `bSuffix`. Empty for
// anything else, and for a result above 32 bits.
std::optional<std::uint32_t> ParseScaled(const std::string& text, std::uint64_t nUnit, bool bSuffix);

const char* CliUsageText();
