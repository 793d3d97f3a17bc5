#include "parse/AddressIndex.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace
{

constexpr size_t kBlockSize = size_t{64} * 1024;
constexpr size_t kNotFound = static_cast<size_t>(-1);

std::uint32_t TagOf(std::uint64_t hash)
{
    return static_cast<std::uint32_t>(hash >> 32);
}

} // namespace

std::uint64_t CAddressIndex::Hash(std::string_view address)
{
    return std::hash<std::string_view>{}(address);
}

std::optional<std::string_view> CAddressIndex::Add(std::string_view address, bool bOnlyIfAbsent)
{
    return Add(address, Hash(address), bOnlyIfAbsent);
}

std::optional<std::string_view> CAddressIndex::Add(std::string_view address, std::uint64_t hash,
                                                   bool bOnlyIfAbsent)
{
    const size_t found = FindSlot(address, hash);
    if (found != kNotFound)
    {
        if (bOnlyIfAbsent)
            return std::nullopt;
        Entry& entry = m_entries[m_slots[found].entry - 1];
        ++entry.count;
        return entry.text;
    }

    if (m_slots.empty() || (m_nUsed + 1) * 4 > m_slots.size() * 3)
        Rehash();
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    while (m_slots[i].entry != kEmpty && m_slots[i].entry != kRemoved)
        i = (i + 1) & mask;
    if (m_slots[i].entry == kEmpty)
        ++m_nUsed;
    m_entries.push_back({Store(address), 1, static_cast<std::uint32_t>(hash)});
    m_slots[i] = {TagOf(hash), static_cast<std::uint32_t>(m_entries.size())};
    ++m_nLive;
    return m_entries.back().text;
}

void CAddressIndex::Remove(std::string_view address)
{
    const size_t found = FindSlot(address, Hash(address));
    if (found == kNotFound)
        return;
    if (--m_entries[m_slots[found].entry - 1].count == 0)
    {
        m_slots[found].entry = kRemoved;
        --m_nLive;
    }
}

bool CAddressIndex::Contains(std::string_view address) const
{
    return Contains(address, Hash(address));
}

bool CAddressIndex::Contains(std::string_view address, std::uint64_t hash) const
{
    return FindSlot(address, hash) != kNotFound;
}

void CAddressIndex::Prefetch(std::uint64_t hash) const
{
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
}

// The table keeps its size: lists that empty and fill again do not grow it step by step again.
void CAddressIndex::Clear()
{
    std::fill(m_slots.begin(), m_slots.end(), Slot{0, kEmpty});
    m_entries.clear();
    m_nLive = 0;
    m_nUsed = 0;
    m_blocks.clear();
    m_nBlockFree = 0;
    m_pBlockEnd = nullptr;
}

size_t CAddressIndex::FindSlot(std::string_view address, std::uint64_t hash) const
{
    if (m_slots.empty())
        return kNotFound;
    const size_t mask = m_slots.size() - 1;
    const std::uint32_t tag = TagOf(hash);
    for (size_t i = hash & mask; m_slots[i].entry != kEmpty; i = (i + 1) & mask)
    {
        if (Holds(m_slots[i], address, tag))
            return i;
    }
    return kNotFound;
}

bool CAddressIndex::Holds(const Slot& slot, std::string_view address, std::uint32_t tag) const
{
    return slot.entry != kRemoved && slot.tag == tag && m_entries[slot.entry - 1].text == address;
}

// Keeps the load at three quarters at most; removed slots are dropped on the way.
void CAddressIndex::Rehash()
{
    size_t capacity = 16;
    while (capacity < (m_nLive + 1) * 2)
        capacity *= 2;
    const std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(capacity, Slot{0, kEmpty}));
    const size_t mask = capacity - 1;
    m_nUsed = 0;
    for (const Slot& slot : old)
    {
        if (slot.entry == kEmpty || slot.entry == kRemoved)
            continue;
        size_t i = m_entries[slot.entry - 1].home & mask;
        while (m_slots[i].entry != kEmpty)
            i = (i + 1) & mask;
        m_slots[i] = slot;
        ++m_nUsed;
    }
}

std::string_view CAddressIndex::Store(std::string_view address)
{
    if (address.empty())
        return {};
    if (address.size() > m_nBlockFree)
    {
        const size_t size = std::max(kBlockSize, address.size());
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size));
        m_pBlockEnd = m_blocks.back().get();
        m_nBlockFree = size;
    }
    char* text = m_pBlockEnd;
    std::memcpy(text, address.data(), address.size());
    m_pBlockEnd += address.size();
    m_nBlockFree -= address.size();
    return {text, address.size()};
}
