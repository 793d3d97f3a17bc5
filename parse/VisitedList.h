#pragma once

#include "parse/AddressIndex.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    // The same, given CAddressIndex::Hash(address).
    bool Contains(const std::string& address, std::uint64_t hash) const;
    void Prefetch(std::uint64_t hash) const { m_index.Prefetch(hash); }
    long Count() const { return m_nCount.load(std::memory_order_relaxed); }
    void Clear();

    // In the order added; valid until Clear.
    std::string_view At(size_t index) const { return m_order[index]; }

private:
    CAddressIndex m_index;
    std::vector<std::string_view> m_order;
    std::atomic<long> m_nCount{0};
};
