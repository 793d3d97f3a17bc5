#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>

// Every address a run has taken from its queue, in the order taken. Filled and searched on the
// worker thread; Count() may be read from any thread.
class CVisitedList
{
public:
    CVisitedList() = default;
    CVisitedList(const CVisitedList&) = delete;
    CVisitedList& operator=(const CVisitedList&) = delete;

    void Add(const std::string& address);
    // Exact, case-sensitive; the same answer as a search of every entry, in constant time.
    bool Contains(const std::string& address) const;
    long Count() const { return m_nCount.load(std::memory_order_relaxed); }
    void Clear();

    // In the order added.
    const std::string& At(size_t index) const { return m_addresses[index]; }
    const std::deque<std::string>& Addresses() const { return m_addresses; }

private:
    // A deque never moves its elements when it grows, so the index can hold views of them.
    std::deque<std::string> m_addresses;
    std::unordered_set<std::string_view> m_index;
    std::atomic<long> m_nCount{0};
};
