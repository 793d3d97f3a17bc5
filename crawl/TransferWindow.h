#pragma once

#include "crawl/AheadTransfer.h"
#include "crawl/FetchResult.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CPageFetcher;
class CUrlQueue;
class CVisitedList;
class IEngineContext;

// Several transfers at once on the worker thread, with the results of one at a time: while the
// crawl loop waits for the address at the head of its queue, the next waiting addresses are
// fetched ahead on connections of their own, and each result is judged, logged and stored only
// when its address's turn comes. So the log, the files and the pages read for links come in queue
// order whatever the order on the wire. The number of transfers bounds both those on the wire
// and the finished ones waiting for their turn. Two transfers never store to the same file.
class CTransferWindow
{
public:
    // `nUnderWay` is told how many transfers are under way, for the progress display.
    CTransferWindow(IEngineContext& context, CPageFetcher& fetcher, const CUrlQueue& queue,
                    const CVisitedList& visited, std::uint32_t nTransfers, std::uint32_t nWaitMs,
                    const std::atomic<bool>& stop, std::atomic<int>& nUnderWay);
    ~CTransferWindow();
    CTransferWindow(const CTransferWindow&) = delete;
    CTransferWindow& operator=(const CTransferWindow&) = delete;

    // The result of `strUrl`, the address the crawl loop has taken: its transfer is waited for
    // (started now unless it was started ahead), and meanwhile the queue's next addresses are
    // started as transfers come free. Nothing when a stop came before it was asked for; a failed
    // result, with every transfer cut, once the program is closing.
    std::optional<FetchResult> Take(const std::string& strUrl, bool bHoldPage, bool bKeep);
    // After a stop: the transfers under way end and are stored, in the order they started.
    void KeepUnderWay();
    // Drops every transfer and deletes its partial file.
    void CutAll();

private:
    struct Slot
    {
        std::unique_ptr<CAheadTransfer> pTransfer;
        std::uint64_t nStarted = 0;
        // The queue's keep flag of an address started ahead.
        bool bKeep = true;
    };

    Slot* Find(const std::string& strUrl);
    Slot* FreeSlot();
    // The latest started transfer other than `pKeep`: cut to make room for the head.
    Slot* Evict(const Slot* pKeep);
    void Start(Slot& slot, const std::string& strUrl, LocalNames::LocalName name, bool bHoldPage, bool bKeep);
    Slot* Oldest();
    // Stores what a transfer kept after a stop brought in, as the crawl loop stores a result.
    void Store(Slot& slot);
    // Starts the queue's next addresses as far as there is room and the pause allows.
    void Fill(bool bHoldPage);
    bool NameBusy(const std::string& strPath) const;
    bool MayStart() const;
    // Lets every transfer work; waits for their sockets when none has anything to hand over.
    void Drive(const Slot* pTarget);
    void ShowProgress(const Slot& oldest);
    void CountUnderWay();

    IEngineContext& m_context;
    CPageFetcher& m_fetcher;
    const CUrlQueue& m_queue;
    const CVisitedList& m_visited;
    std::chrono::milliseconds m_wait;
    const std::atomic<bool>& m_stop;
    std::atomic<int>& m_nUnderWay;
    std::vector<Slot> m_slots;
    std::uint64_t m_nStarts = 0;
    std::chrono::steady_clock::time_point m_nextStart;
    std::chrono::steady_clock::time_point m_runStart;
    std::int64_t m_nRunBytes = 0;
    // The queue has been looked through since the last turn.
    bool m_bLookedThrough = false;
};
