#include "crawl/InternetThread.h"

#include "crawl/CrawlJob.h"
#include "crawl/CrawlOwner.h"

#include <system_error>

CInternetThread::~CInternetThread()
{
    End();
}

std::unique_ptr<CInternetThread> CInternetThread::Create()
{
    std::unique_ptr<CInternetThread> pThread(new CInternetThread);
    try
    {
        pThread->m_thread = std::thread([pWorker = pThread.get()] { pWorker->MessageLoop(); });
    }
    catch (const std::system_error&)
    {
        return nullptr;
    }
    return pThread;
}

void CInternetThread::End()
{
    PostThreadMessage(TM_ENDTHREAD);
    if (m_thread.joinable())
        m_thread.join();
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
