#pragma once

#include "platform/ThreadMessageQueue.h"

#include <atomic>
#include <memory>
#include <thread>

class CCrawlJob;
class ICrawlOwner;

// Thread messages of the worker. Both are posted with no parameters.
enum ThreadMessage : unsigned
{
    TM_RUNJOB = 101,    // run the job that SetJob named, then tell the owner
    TM_ENDTHREAD = 102, // end the thread
};

// The one worker thread that does all network and file work of a run. It lives from the main
// window's start-up to its tear-down (the console's: for its one run) and serves every run, one
// job per TM_RUNJOB.
//
// The object owns its thread. End, the one join, posts TM_ENDTHREAD and joins the thread, so that
// once it returns nothing of the worker runs any more and the object may be freed.
class CInternetThread
{
public:
    // Null when the thread cannot be started.
    static std::unique_ptr<CInternetThread> Create();
    // Ends the thread and waits for it.
    ~CInternetThread();

    CInternetThread(const CInternetThread&) = delete;
    CInternetThread& operator=(const CInternetThread&) = delete;

    // Posts TM_ENDTHREAD unless it has been posted, then joins the thread: a run under way ends
    // first. Safe to call more than once; call it from the owner's thread, never the worker's.
    void End();

    // Set before TM_RUNJOB is posted; neither is owned.
    void SetJob(CCrawlJob* pJob);
    void SetOwner(ICrawlOwner* pOwner);
    void PostThreadMessage(ThreadMessage message);

private:
    CInternetThread() = default;

    void MessageLoop();
    void OnRunJob();

    std::atomic<CCrawlJob*> m_pJob{nullptr};
    std::atomic<ICrawlOwner*> m_pOwner{nullptr};
    std::atomic<bool> m_bEndPosted{false};
    CThreadMessageQueue<ThreadMessage> m_messages;
    // Last, so that it starts after everything the loop reads exists.
    std::thread m_thread;
};
