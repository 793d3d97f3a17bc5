#include "parse/VisitedList.h"

void CVisitedList::Add(const std::string& address)
{
    m_addresses.push_back(address);
    // A repeated address keeps the view of its first copy, which stays put.
    m_index.insert(m_addresses.back());
    m_nCount.store(static_cast<long>(m_addresses.size()), std::memory_order_relaxed);
}

bool CVisitedList::Contains(const std::string& address) const
{
    return m_index.contains(address);
}

void CVisitedList::Clear()
{
    m_index.clear();
    m_addresses.clear();
    m_nCount.store(0, std::memory_order_relaxed);
}
