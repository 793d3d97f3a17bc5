#pragma once

#include <string_view>

// What became of one link value found on a page.
enum class LinkFate
{
    QueuedAsPage,
    QueuedAsFile,
    AlreadyKnown,
    OutsideStartFolder,
    AnotherServer,
    TooDeep,
    LeftOutByFilter,
    LeftOutByFilterReadForLinks,
    NotALink,
    DisallowedByRobots,
    RunsOwnFile, // it would be stored over the run's own log, shortcut or report
};

// The words a report uses for a fate ("queued as page", ...).
const char* LinkFateText(LinkFate fate);

// Told about every link value the parser finds, on the worker thread.
class ILinkReport
{
public:
    virtual ~ILinkReport() = default;
    // `address` is the resolved address, empty when the value was dropped before it was resolved.
    virtual void Report(std::string_view page, std::string_view value, std::string_view address,
                        LinkFate fate) = 0;
};
