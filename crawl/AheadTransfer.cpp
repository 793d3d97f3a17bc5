#include "crawl/AheadTransfer.h"

#include "crawl/PageFetcher.h"
#include "crawl/ServerConnection.h"

#include <utility>

CAheadTransfer::CAheadTransfer(CPageFetcher& fetcher)
    : m_fetcher(fetcher), m_pConnection(fetcher.MakeConnection())
{
}

CAheadTransfer::~CAheadTransfer() = default;

void CAheadTransfer::Start(std::string strUrl, LocalNames::LocalName name, bool bHoldPage)
{
    m_strUrl = std::move(strUrl);
    m_name = std::move(name);
    m_bHoldPage = bHoldPage;
    m_strWriteError.clear();
    m_outcome = AheadOutcome();
    m_outcome.bAsked = true;
    const CServerConnection::ConnectOutcome connected = m_fetcher.ConnectOther(*m_pConnection);
    if (!connected.bOk)
    {
        m_outcome.strSendError = connected.strError;
        Finish(State::Done);
        return;
    }
    m_outcome.conditions = m_fetcher.AheadConditions(m_name);
    m_outcome.strSendError =
        m_pConnection->Begin(m_fetcher.ObjectPathOf(m_strUrl), m_outcome.conditions.Headers());
    if (!m_outcome.strSendError.empty())
    {
        m_pConnection->Close();
        Finish(State::Done);
        return;
    }
    m_state = State::Headers;
}

bool CAheadTransfer::Step()
{
    if (m_state == State::Headers || m_state == State::Body)
    {
        const bool bHeadersDone = m_pConnection->Step();
        if (m_state == State::Headers && bHeadersDone)
            OnHeaders();
    }
    if (m_state == State::Body)
        ReceiveBody();
    return m_state == State::Done;
}

void CAheadTransfer::OnHeaders()
{
    m_outcome.response = m_pConnection->Response();
    if (!m_outcome.response.bOk)
    {
        // A failed exchange leaves nothing worth keeping on the connection.
        m_pConnection->Close();
        Finish(State::Done);
        return;
    }
    // A 304 has no body: the copy stays, as its turn decides.
    if (m_outcome.response.nStatus == 304 || !m_fetcher.WantsBody(m_name, m_outcome.response))
    {
        m_pConnection->CloseRequest();
        Finish(State::Done);
        return;
    }
    m_outcome.pStore = std::make_unique<CFileStore>(m_name.strPath);
    m_outcome.strCreateError = m_outcome.pStore->Create();
    if (!m_outcome.strCreateError.empty())
    {
        m_pConnection->Close();
        Finish(State::Done);
        return;
    }
    m_outcome.bPageHeld = m_bHoldPage && m_outcome.response.strContentType == "text/html";
    m_state = State::Body;
}

bool CAheadTransfer::Write(const char* pData, size_t nCount)
{
    m_outcome.nReceived += static_cast<std::int64_t>(nCount);
    m_strWriteError = m_outcome.pStore->Write(pData, nCount);
    if (!m_strWriteError.empty())
        return false;
    if (m_outcome.bPageHeld)
    {
        // A page larger than the bound is read back from its file: memory stays bounded.
        if (m_outcome.strPageText.size() + nCount > CPageFetcher::kMaxHeldPageBytes)
        {
            m_outcome.bPageHeld = false;
            std::string().swap(m_outcome.strPageText);
        }
        else
        {
            m_outcome.strPageText.append(pData, nCount);
        }
    }
    return true;
}

void CAheadTransfer::ReceiveBody()
{
    const CServerConnection::ReadyOutcome ready = m_pConnection->ReceiveReady(
        [this](const char* pData, size_t nCount) { return Write(pData, nCount); });
    if (!ready.bEnded)
        return;
    if (!ready.body.strError.empty())
        m_outcome.lines.push_back(ready.body.strError);
    if (!m_strWriteError.empty())
        m_outcome.lines.push_back(m_strWriteError);
    m_outcome.end = ready.body.end;
    m_outcome.nWireBytes = ready.body.nWireBytes;
    m_outcome.strFinishError = m_outcome.pStore->Finish(m_outcome.response.lastModified);
    m_pConnection->CloseRequest();
    if (m_outcome.end != CServerConnection::BodyEnd::Whole)
        m_pConnection->Close();
    Finish(State::Done);
}

void CAheadTransfer::Finish(State next)
{
    m_state = next;
    if (!m_outcome.bPageHeld)
        std::string().swap(m_outcome.strPageText);
}

int CAheadTransfer::AddWaitSet(fd_set& read, fd_set& write, fd_set& except, int& nMaxFd) const
{
    if (m_state == State::Idle || m_state == State::Done)
        return -1;
    return m_pConnection->AddWaitSet(read, write, except, nMaxFd);
}

AheadOutcome CAheadTransfer::Take()
{
    m_state = State::Idle;
    return std::move(m_outcome);
}

void CAheadTransfer::Cut()
{
    if (m_state == State::Headers || m_state == State::Body)
        m_pConnection->Close();
    // The store deletes the partial file as it goes.
    m_outcome = AheadOutcome();
    m_state = State::Idle;
}
