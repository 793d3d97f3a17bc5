#include "crawl/TransferWindow.h"

#include "crawl/PageFetcher.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"
#include "platform/EngineContext.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <sys/select.h>

namespace
{

using Clock = std::chrono::steady_clock;

// How far down the queue addresses are looked at for a free transfer: a queue of pages that are
// all present already is not searched from end to end at every turn.
constexpr size_t kLookAhead = 64;
// The longest wait for the sockets before the closing and stop flags are looked at again.
constexpr int kMaxWaitMs = 100;

} // namespace

CTransferWindow::CTransferWindow(IEngineContext& context, CPageFetcher& fetcher, const CUrlQueue& queue,
                                 const CVisitedList& visited, std::uint32_t nTransfers, std::uint32_t nWaitMs,
                                 const std::atomic<bool>& stop, std::atomic<int>& nUnderWay)
    : m_context(context), m_fetcher(fetcher), m_queue(queue), m_visited(visited), m_wait(nWaitMs),
      m_stop(stop), m_nUnderWay(nUnderWay), m_runStart(Clock::now())
{
    m_slots.resize(std::max<std::uint32_t>(nTransfers, 1));
    for (Slot& slot : m_slots)
        slot.pTransfer = std::make_unique<CAheadTransfer>(fetcher);
    // The pause between requests counts from the fetcher's own last request.
    if (m_fetcher.Requested())
        m_nextStart = m_runStart + m_wait;
}

CTransferWindow::~CTransferWindow()
{
    CutAll();
}

CTransferWindow::Slot* CTransferWindow::Find(const std::string& strUrl)
{
    for (Slot& slot : m_slots)
    {
        if (!slot.pTransfer->Idle() && slot.pTransfer->Url() == strUrl)
            return &slot;
    }
    return nullptr;
}

CTransferWindow::Slot* CTransferWindow::FreeSlot()
{
    for (Slot& slot : m_slots)
    {
        if (slot.pTransfer->Idle())
            return &slot;
    }
    return nullptr;
}

CTransferWindow::Slot* CTransferWindow::Oldest()
{
    Slot* pOldest = nullptr;
    for (Slot& slot : m_slots)
    {
        if (!slot.pTransfer->Idle() && (pOldest == nullptr || slot.nStarted < pOldest->nStarted))
            pOldest = &slot;
    }
    return pOldest;
}

CTransferWindow::Slot* CTransferWindow::Evict(const Slot* pKeep)
{
    Slot* pLatest = nullptr;
    for (Slot& slot : m_slots)
    {
        if (&slot != pKeep && (pLatest == nullptr || slot.nStarted > pLatest->nStarted))
            pLatest = &slot;
    }
    // Fetched ahead, it is fetched again when its turn comes.
    pLatest->pTransfer->Cut();
    return pLatest;
}

bool CTransferWindow::NameBusy(const std::string& strPath) const
{
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [&](const Slot& slot)
                       { return !slot.pTransfer->Idle() && slot.pTransfer->LocalPath() == strPath; });
}

bool CTransferWindow::MayStart() const
{
    return m_wait.count() == 0 || Clock::now() >= m_nextStart;
}

void CTransferWindow::Start(Slot& slot, const std::string& strUrl, LocalNames::LocalName name, bool bHoldPage,
                            bool bKeep)
{
    m_nextStart = Clock::now() + m_wait;
    slot.nStarted = ++m_nStarts;
    slot.bKeep = bKeep;
    slot.pTransfer->Start(strUrl, std::move(name), bHoldPage);
    CountUnderWay();
}

void CTransferWindow::Fill(bool bHoldPage)
{
    // The queue changes only between two turns: once looked through, it has nothing more to start.
    if (m_bLookedThrough || m_stop || m_context.IsClosing())
        return;
    const size_t nLook = std::min(m_queue.Size(), kLookAhead);
    for (size_t i = 0; i < nLook; ++i)
    {
        Slot* pFree = FreeSlot();
        if (pFree == nullptr || !MayStart())
            return;
        const std::string strUrl(m_queue.At(i));
        if (m_visited.Contains(strUrl) || Find(strUrl) != nullptr)
            continue;
        LocalNames::LocalName name = m_fetcher.NameOf(strUrl);
        // An address that needs no request is judged at its turn; one whose file another transfer
        // is writing waits for its turn too, and so does one asked for the rest of a kept part,
        // which its turn asks on the fetcher's own connection.
        if (m_fetcher.Judge(name) != CPageFetcher::BeforeRequest::Ask || NameBusy(name.strPath) ||
            m_fetcher.AsksForRest(name))
            continue;
        Start(*pFree, strUrl, std::move(name), bHoldPage, m_queue.KeepAt(i));
    }
    m_bLookedThrough = true;
}

std::optional<FetchResult> CTransferWindow::Take(const std::string& strUrl, bool bHoldPage, bool bKeep)
{
    m_bLookedThrough = false;
    Slot* pTarget = Find(strUrl);
    if (pTarget == nullptr)
    {
        LocalNames::LocalName name = m_fetcher.NameOf(strUrl);
        if (m_fetcher.Judge(name) != CPageFetcher::BeforeRequest::Ask)
        {
            AheadOutcome none;
            return m_fetcher.Conclude(strUrl, none, bHoldPage, bKeep);
        }
        // A later address of the same file, started ahead, gives way to this one.
        for (Slot& slot : m_slots)
        {
            if (!slot.pTransfer->Idle() && slot.pTransfer->LocalPath() == name.strPath)
                slot.pTransfer->Cut();
        }
        if (m_fetcher.AsksForRest(name))
        {
            AheadOutcome none;
            return m_fetcher.Conclude(strUrl, none, bHoldPage, bKeep);
        }
    }
    for (;;)
    {
        if (m_context.IsClosing())
        {
            // Cut, the address has failed.
            CutAll();
            return FetchResult();
        }
        if (pTarget == nullptr && m_stop)
            return std::nullopt;
        if (pTarget == nullptr && MayStart())
        {
            pTarget = FreeSlot();
            if (pTarget == nullptr)
                pTarget = Evict(nullptr);
            Start(*pTarget, strUrl, m_fetcher.NameOf(strUrl), bHoldPage, bKeep);
        }
        if (pTarget != nullptr)
            Fill(bHoldPage);
        Drive(pTarget);
        if (pTarget != nullptr && pTarget->pTransfer->Done())
            break;
    }
    AheadOutcome outcome = pTarget->pTransfer->Take();
    m_nRunBytes += outcome.nReceived;
    CountUnderWay();
    return m_fetcher.Conclude(strUrl, outcome, bHoldPage, bKeep);
}

void CTransferWindow::Drive(const Slot* pTarget)
{
    for (Slot& slot : m_slots)
    {
        if (!slot.pTransfer->Idle() && !slot.pTransfer->Done())
            (void)slot.pTransfer->Step();
    }
    if (const Slot* pOldest = Oldest())
        ShowProgress(*pOldest);
    if (pTarget != nullptr && pTarget->pTransfer->Done())
        return;

    fd_set read;
    fd_set write;
    fd_set except;
    FD_ZERO(&read);
    FD_ZERO(&write);
    FD_ZERO(&except);
    int nMaxFd = -1;
    int nWaitMs = kMaxWaitMs;
    for (const Slot& slot : m_slots)
    {
        const int nSlotMs = slot.pTransfer->AddWaitSet(read, write, except, nMaxFd);
        if (nSlotMs >= 0)
            nWaitMs = std::min(nWaitMs, nSlotMs);
    }
    // A start the pause holds back is due when the pause ends.
    if (!MayStart())
    {
        const auto untilStart = std::chrono::ceil<std::chrono::milliseconds>(m_nextStart - Clock::now());
        nWaitMs = std::min<int>(nWaitMs, static_cast<int>(std::max<std::int64_t>(untilStart.count(), 0)));
    }
    if (nWaitMs <= 0)
        return;
    timeval timeout{nWaitMs / 1000, static_cast<suseconds_t>(nWaitMs % 1000) * 1000};
    (void)select(nMaxFd + 1, &read, &write, &except, &timeout);
}

void CTransferWindow::ShowProgress(const Slot& oldest)
{
    std::int64_t nRunBytes = m_nRunBytes;
    for (const Slot& slot : m_slots)
    {
        if (!slot.pTransfer->Idle())
            nRunBytes += slot.pTransfer->Received();
    }
    const double dSeconds = std::chrono::duration<double>(Clock::now() - m_runStart).count();
    m_fetcher.ShowProgress(oldest.pTransfer->Received(), oldest.pTransfer->Expected(),
                           dSeconds > 0 ? static_cast<double>(nRunBytes) / dSeconds : 0);
}

void CTransferWindow::CountUnderWay()
{
    const auto nUnderWay = std::count_if(m_slots.begin(), m_slots.end(),
                                         [](const Slot& slot) { return !slot.pTransfer->Idle(); });
    m_nUnderWay.store(static_cast<int>(nUnderWay), std::memory_order_relaxed);
}

void CTransferWindow::KeepUnderWay()
{
    while (Slot* pOldest = Oldest())
    {
        while (!pOldest->pTransfer->Done())
        {
            if (m_context.IsClosing())
            {
                CutAll();
                return;
            }
            Drive(pOldest);
        }
        Store(*pOldest);
    }
}

void CTransferWindow::Store(Slot& slot)
{
    const std::string strUrl = slot.pTransfer->Url();
    AheadOutcome outcome = slot.pTransfer->Take();
    CountUnderWay();
    const FetchResult fetched = m_fetcher.Conclude(strUrl, outcome, false, slot.bKeep);
    // A copy kept only to be read for links is not kept when it will not be read.
    if (fetched.bOk && !fetched.bNotFound && (fetched.bTemporary || !slot.bKeep))
        (void)FileSystem::Delete(fetched.strLocalPath);
}

void CTransferWindow::CutAll()
{
    for (Slot& slot : m_slots)
        slot.pTransfer->Cut();
    CountUnderWay();
}
