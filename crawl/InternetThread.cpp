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
    m_workerLock.release();
}

CInternetThread* CInternetThread::Create(std::binary_semaphore& workerLock)
{
    auto* pThread = new CInternetThread(workerLock);
    try
    {
        std::thread([pThread] { pThread->MessageLoop(); }).detach();
    }
    catch (const std::system_error&)
    {
        delete pThread;
        return nullptr;
    }
    return pThread;
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
            // Deleting the object gives the worker lock back: the owner's tear-down may go on.
            delete this;
            return;
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
