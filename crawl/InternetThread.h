#pragma once

#include "platform/ThreadMessageQueue.h"

#include <atomic>
#include <memory>
#include <semaphore>

class CCrawlJob;
class ICrawlOwner;

// Thread messages of the worker. Both are posted with no parameters.
enum ThreadMessage : unsigned
{
    TM_RUNJOB = 101,    // run the job that SetJob named, then tell the owner
    TM_ENDTHREAD = 102, // end the thread; the worker lock is given back
};

// The one worker thread that does all network and file work of a run. It lives from the main
// window's start-up to its tear-down (the console's: for its one run) and serves every run, one
// job per TM_RUNJOB.
//
// The worker holds the application's worker lock from its creation until its thread has handled
// TM_ENDTHREAD; End, the one join, waits for the lock. The owner holds the object and ends it.
class CInternetThread
{
public:
    // Takes the worker lock (waiting for it), then starts the thread. Null when the thread
    // cannot be started; the lock is then given back.
    static std::unique_ptr<CInternetThread> Create(std::binary_semaphore& workerLock);
    // Ends the thread and waits for it.
    ~CInternetThread();

    CInternetThread(const CInternetThread&) = delete;
    CInternetThread& operator=(const CInternetThread&) = delete;

    // Posts TM_ENDTHREAD unless it has been posted, then waits until the thread has handled it:
    // a run under way ends first. Safe to call more than once.
    void End();

    // Set before TM_RUNJOB is posted; neither is owned.
    void SetJob(CCrawlJob* pJob);
    void SetOwner(ICrawlOwner* pOwner);
    void PostThreadMessage(ThreadMessage message);

private:
    explicit CInternetThread(std::binary_semaphore& workerLock);

    void MessageLoop();
    void OnRunJob();

    std::atomic<CCrawlJob*> m_pJob{nullptr};
    std::atomic<ICrawlOwner*> m_pOwner{nullptr};
    std::binary_semaphore& m_workerLock;
    std::atomic<bool> m_bEndPosted{false};
    // End has seen the thread give the lock back; owner's thread only.
    bool m_bJoined = false;
    CThreadMessageQueue<ThreadMessage> m_messages;
};
