#pragma once

#include "platform/ThreadMessageQueue.h"

#include <atomic>
#include <semaphore>

class CCrawlJob;
class ICrawlOwner;

// Thread messages of the worker. Both are posted with no parameters.
enum ThreadMessage : unsigned
{
    TM_RUNJOB = 101,    // run the job that SetJob named, then tell the owner
    TM_ENDTHREAD = 102, // end the thread; its object is deleted and the worker lock given back
};

// The one worker thread that does all network and file work of a run. It lives from the main
// window's start-up to its tear-down and serves every run, one job per TM_RUNJOB.
//
// The object holds the application's worker lock from construction to destruction. The thread
// deletes its own object when it ends, so taking the lock is how the owner waits for the worker.
class CInternetThread
{
public:
    // Takes the worker lock (waiting for it), then starts the thread. Null when the thread
    // cannot be started; the lock is then given back.
    static CInternetThread* Create(std::binary_semaphore& workerLock);

    CInternetThread(const CInternetThread&) = delete;
    CInternetThread& operator=(const CInternetThread&) = delete;

    // Set before TM_RUNJOB is posted; neither is owned.
    void SetJob(CCrawlJob* pJob);
    void SetOwner(ICrawlOwner* pOwner);
    void PostThreadMessage(ThreadMessage message);

private:
    explicit CInternetThread(std::binary_semaphore& workerLock);
    ~CInternetThread();

    void MessageLoop();
    void OnRunJob();

    std::atomic<CCrawlJob*> m_pJob{nullptr};
    std::atomic<ICrawlOwner*> m_pOwner{nullptr};
    std::binary_semaphore& m_workerLock;
    CThreadMessageQueue<ThreadMessage> m_messages;
};
