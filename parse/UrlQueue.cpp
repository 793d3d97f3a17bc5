#include "parse/UrlQueue.h"

void CUrlQueue::Reset()
{
    m_entries.clear();
    m_index.Clear();
    PublishCount();
    std::lock_guard lock(m_shownMutex);
    m_shown.clear();
    ShownChanged();
}

void CUrlQueue::PushBack(const std::string& address, bool bKeep)
{
    Add(address, CAddressIndex::Hash(address), bKeep, false, false);
}

void CUrlQueue::PushFront(const std::string& address, bool bKeep)
{
    Add(address, CAddressIndex::Hash(address), bKeep, true, false);
}

bool CUrlQueue::PushBackIfAbsent(const std::string& address, bool bKeep)
{
    return Add(address, CAddressIndex::Hash(address), bKeep, false, true);
}

bool CUrlQueue::PushFrontIfAbsent(const std::string& address, bool bKeep)
{
    return Add(address, CAddressIndex::Hash(address), bKeep, true, true);
}

bool CUrlQueue::PushBackIfAbsent(const std::string& address, std::uint64_t hash, bool bKeep)
{
    return Add(address, hash, bKeep, false, true);
}

bool CUrlQueue::PushFrontIfAbsent(const std::string& address, std::uint64_t hash, bool bKeep)
{
    return Add(address, hash, bKeep, true, true);
}

bool CUrlQueue::Add(const std::string& address, std::uint64_t hash, bool bKeep, bool bFront,
                    bool bOnlyIfAbsent)
{
    const std::optional<std::string_view> stored = m_index.Add(address, hash, bOnlyIfAbsent);
    if (!stored)
        return false;
    const Entry entry{*stored, bKeep};
    if (bFront)
        m_entries.push_front(entry);
    else
        m_entries.push_back(entry);
    PublishCount();

    // A line is added at the top for every front insertion, at the bottom only while fewer
    // than 11 are shown. Only this thread changes the lines, so it may look at their number
    // without the lock.
    if (!bFront && m_shown.size() >= kShownLines)
        return true;
    std::lock_guard lock(m_shownMutex);
    if (bFront)
        m_shown.push_front(address);
    else
        m_shown.push_back(address);
    ShownChanged();
    return true;
}

std::string CUrlQueue::PopFront()
{
    if (m_entries.empty())
        return {};
    TopUpShownLines();

    std::string address(m_entries.front().address);
    m_index.Remove(address);
    m_entries.pop_front();
    // An empty queue gives back the texts of every address it ever held.
    if (m_entries.empty())
        m_index.Clear();
    PublishCount();
    return address;
}

// The list shows the queue's first entries. After its top line goes, walk the queue from the
// head (the entry being removed, position 0) and add the entry at position i whenever i exceeds
// the number of lines shown, until more than 10 are shown: the next 11 waiting addresses.
void CUrlQueue::TopUpShownLines()
{
    std::lock_guard lock(m_shownMutex);
    if (!m_shown.empty())
        m_shown.pop_front();
    for (size_t i = 0; i < m_entries.size() && m_shown.size() < kShownLines; ++i)
    {
        if (i > m_shown.size())
            m_shown.emplace_back(m_entries[i].address);
    }
    ShownChanged();
}

bool CUrlQueue::Find(const std::string& address) const
{
    return m_index.Contains(address);
}

std::string CUrlQueue::Head() const
{
    return m_entries.empty() ? std::string() : std::string(m_entries.front().address);
}

bool CUrlQueue::HeadKeep() const
{
    return !m_entries.empty() && m_entries.front().bKeep;
}

CUrlQueue::Shown CUrlQueue::ShownLines() const
{
    Shown shown;
    std::lock_guard lock(m_shownMutex);
    shown.lines.assign(m_shown.begin(), m_shown.end());
    shown.serial = m_nShownSerial.load(std::memory_order_relaxed);
    return shown;
}

void CUrlQueue::PublishCount()
{
    m_nCount.store(static_cast<long>(m_entries.size()), std::memory_order_relaxed);
}

// Called with m_shownMutex held, so a copy and its serial always belong together.
void CUrlQueue::ShownChanged()
{
    m_nShownSerial.fetch_add(1, std::memory_order_release);
}
