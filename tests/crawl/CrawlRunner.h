#pragma once

#include "crawl/CrawlJob.h"
#include "crawl/CrawlOwner.h"
#include "crawl/InternetThread.h"
#include "support/TestApp.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

// An owner that records what the worker reports, and on which thread.
class CDoneRecorder : public ICrawlOwner
{
public:
    void OnCrawlDone(bool bResult) override
    {
        std::lock_guard lock(m_mutex);
        m_result = bResult;
        m_threadId = std::this_thread::get_id();
        m_done.notify_all();
    }

    // The result, or nothing when the run has not ended within the time-out.
    std::optional<bool> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20))
    {
        std::unique_lock lock(m_mutex);
        m_done.wait_for(lock, timeout, [this] { return m_result.has_value(); });
        return m_result;
    }

    void Reset()
    {
        std::lock_guard lock(m_mutex);
        m_result.reset();
    }

    std::thread::id ThreadId()
    {
        std::lock_guard lock(m_mutex);
        return m_threadId;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::optional<bool> m_result;
    std::thread::id m_threadId;
};

// Runs jobs the way a front end does: on a CInternetThread, ended with TM_ENDTHREAD.
class CCrawlRunner
{
public:
    CCrawlRunner() : m_pThread(CInternetThread::Create()) {}

    ~CCrawlRunner()
    {
        if (m_pThread)
            m_pThread->End();
    }

    // One worker serves every run, as in the program.
    void Start(CCrawlJob& job)
    {
        m_owner.Reset();
        m_pThread->SetJob(&job);
        m_pThread->SetOwner(&m_owner);
        m_pThread->PostThreadMessage(TM_RUNJOB);
    }

    std::optional<bool> Run(CCrawlJob& job)
    {
        Start(job);
        return m_owner.Wait();
    }

    CDoneRecorder& Owner() { return m_owner; }

private:
    CDoneRecorder m_owner;
    std::unique_ptr<CInternetThread> m_pThread;
};
