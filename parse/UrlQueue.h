#pragma once

#include "parse/AddressIndex.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The pending addresses of one run, in fetch order, each with a keep flag: true when the stored
// copy stays on disk, false when the crawl loop deletes it after parsing.
//
// Everything but Count() and the shown-lines accessors belongs to the worker thread. The queue
// also keeps the lines a pending-address list would show (its first waiting addresses, by the
// rules given with PushBack, PushFront and PopFront) so that views can poll a copy; the worker
// never waits for a view.
class CUrlQueue
{
public:
    // The lines a view shows, and a number that changes whenever they change.
    struct Shown
    {
        std::vector<std::string> lines;
        std::uint64_t serial = 0;
    };

    static constexpr size_t kShownLines = 11;

    CUrlQueue() = default;
    CUrlQueue(const CUrlQueue&) = delete;
    CUrlQueue& operator=(const CUrlQueue&) = delete;

    void Reset();
    // Appends; adds a shown line only while fewer than 11 are shown.
    void PushBack(const std::string& address, bool bKeep);
    // Inserts at the head; always adds a shown line at the top.
    void PushFront(const std::string& address, bool bKeep);
    // Removes and returns the head (empty when the queue is empty), then tops the shown lines
    // up so that they show the next 11 waiting addresses.
    std::string PopFront();
    // Find, then push when not found, with one look-up.
    bool PushBackIfAbsent(const std::string& address, bool bKeep);
    bool PushFrontIfAbsent(const std::string& address, bool bKeep);
    // The same, given CAddressIndex::Hash(address).
    bool PushBackIfAbsent(const std::string& address, std::uint64_t hash, bool bKeep);
    bool PushFrontIfAbsent(const std::string& address, std::uint64_t hash, bool bKeep);
    void Prefetch(std::uint64_t hash) const { m_index.Prefetch(hash); }

    // Exact, case-sensitive; the same answer as a search of every entry, in constant time.
    bool Find(const std::string& address) const;
    // The head address and its keep flag; empty and false when the queue is empty.
    std::string Head() const;
    bool HeadKeep() const;
    // The waiting address at `nIndex` from the head; empty beyond the last.
    std::string_view At(size_t nIndex) const
    {
        return nIndex < m_entries.size() ? m_entries[nIndex].address : std::string_view();
    }
    bool KeepAt(size_t nIndex) const { return nIndex < m_entries.size() && m_entries[nIndex].bKeep; }
    size_t Size() const { return m_entries.size(); }
    // Safe to read from any thread.
    long Count() const { return m_nCount.load(std::memory_order_relaxed); }

    // Safe to call from any thread: a copy taken under a lock held only for the copy.
    Shown ShownLines() const;
    // Cheap check for pollers: changes whenever the shown lines change.
    std::uint64_t ShownSerial() const { return m_nShownSerial.load(std::memory_order_acquire); }

private:
    struct Entry
    {
        std::string_view address; // stored by m_index
        bool bKeep;
    };

    bool Add(const std::string& address, std::uint64_t hash, bool bKeep, bool bFront, bool bOnlyIfAbsent);
    void PublishCount();
    void ShownChanged();
    void TopUpShownLines();

    std::deque<Entry> m_entries;
    CAddressIndex m_index;
    std::atomic<long> m_nCount{0};

    mutable std::mutex m_shownMutex;
    std::deque<std::string> m_shown;
    std::atomic<std::uint64_t> m_nShownSerial{0};
};
