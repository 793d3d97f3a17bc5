#pragma once

// Whoever hands runs to the worker and hears when each has ended: the main window or the
// console front end. Called on the worker thread; an owner with a user interface marshals the
// call to its own thread and must never make the worker wait on it.
class ICrawlOwner
{
public:
    virtual ~ICrawlOwner() = default;
    virtual void OnCrawlDone(bool bResult) = 0;
};
