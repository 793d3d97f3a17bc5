#include "crawl/InternetThread.h"

#include "crawl/CrawlJob.h"
#include "crawl/CrawlOwner.h"

#include <system_error>
#include <thread>

CInternetThread::CInternetThread(std::binary_semaphore& workerLock) : m_workerLock(workerLock)
{
    m_workerLock.acquire();
}

CInternetThread::~CInternetThread()
{
    End();
}

std::unique_ptr<CInternetThread> CInternetThread::Create(std::binary_semaphore& workerLock)
{
    std::unique_ptr<CInternetThread> pThread(new CInternetThread(workerLock));
    try
    {
        std::thread([pWorker = pThread.get()] { pWorker->MessageLoop(); }).detach();
    }
    catch (const std::system_error&)
    {
        // No thread will give the lock back: the object does, without waiting for anyone.
        pThread->m_bEndPosted = true;
        pThread->m_bJoined = true;
        workerLock.release();
        return nullptr;
    }
    return pThread;
}

void CInternetThread::End()
{
    if (!m_bEndPosted.exchange(true))
        m_messages.Post(TM_ENDTHREAD);
    if (m_bJoined)
        return;
    m_workerLock.acquire();
    m_workerLock.release();
    m_bJoined = true;
}

void CInternetThread::SetJob(CCrawlJob* pJob)
{
    m_pJob.store(pJob);
}

void CInternetThread::SetOwner(ICrawlOwner* pOwner)
{
    m_pOwner.store(pOwner);
}

void CInternetThread::PostThreadMessage(ThreadMessage message)
{
    if (message == TM_ENDTHREAD && m_bEndPosted.exchange(true))
        return;
    m_messages.Post(message);
}

void CInternetThread::MessageLoop()
{
    for (;;)
    {
        switch (m_messages.Wait())
        {
        case TM_RUNJOB:
            OnRunJob();
            break;
        case TM_ENDTHREAD:
        {
            // Giving the lock back lets the owner's End return and free the object, so nothing of
            // the object is touched after it.
            std::binary_semaphore& workerLock = m_workerLock;
            workerLock.release();
            return;
        }
        }
    }
}

void CInternetThread::OnRunJob()
{
    CCrawlJob* pJob = m_pJob.load();
    if (pJob == nullptr)
        return;
    const bool bResult = pJob->Run();
    if (ICrawlOwner* pOwner = m_pOwner.load())
        pOwner->OnCrawlDone(bResult);
}
