#include "parse/VisitedList.h"

void CVisitedList::Add(const std::string& address)
{
    m_order.push_back(*m_index.Add(address, false));
    m_nCount.store(static_cast<long>(m_order.size()), std::memory_order_relaxed);
}

bool CVisitedList::Contains(const std::string& address) const
{
    return m_index.Contains(address);
}

bool CVisitedList::Contains(const std::string& address, std::uint64_t hash) const
{
    return m_index.Contains(address, hash);
}

void CVisitedList::Clear()
{
    m_order.clear();
    m_index.Clear();
    m_nCount.store(0, std::memory_order_relaxed);
}
