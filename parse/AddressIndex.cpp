#include "parse/AddressIndex.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace
{

constexpr size_t kBlockSize = 64 * 1024;
constexpr size_t kNotFound = static_cast<size_t>(-1);

std::uint64_t HashOf(std::string_view address)
{
    return std::hash<std::string_view>{}(address);
}

} // namespace

std::optional<std::string_view> CAddressIndex::Add(std::string_view address, bool bOnlyIfAbsent)
{
    const std::uint64_t hash = HashOf(address);
    if (m_slots.empty() || (m_nUsed + 1) * 4 > m_slots.size() * 3)
        Rehash();

    const size_t mask = m_slots.size() - 1;
    size_t reusable = kNotFound;
    for (size_t i = hash & mask;; i = (i + 1) & mask)
    {
        Slot& slot = m_slots[i];
        if (!slot.bUsed)
        {
            if (reusable == kNotFound)
                reusable = i;
            break;
        }
        if (slot.count == 0)
        {
            if (reusable == kNotFound)
                reusable = i;
            continue;
        }
        if (slot.hash == hash && slot.text == address)
        {
            if (bOnlyIfAbsent)
                return std::nullopt;
            ++slot.count;
            return slot.text;
        }
    }

    Slot& slot = m_slots[reusable];
    if (!slot.bUsed)
        ++m_nUsed;
    slot = Slot{hash, Store(address), 1, true};
    ++m_nLive;
    return slot.text;
}

void CAddressIndex::Remove(std::string_view address)
{
    const size_t at = FindLive(address, HashOf(address));
    if (at == kNotFound)
        return;
    if (--m_slots[at].count == 0)
        --m_nLive;
}

bool CAddressIndex::Contains(std::string_view address) const
{
    return FindLive(address, HashOf(address)) != kNotFound;
}

// The table keeps its size: lists that empty and fill again do not grow it step by step again.
void CAddressIndex::Clear()
{
    std::fill(m_slots.begin(), m_slots.end(), Slot{});
    m_nLive = 0;
    m_nUsed = 0;
    m_blocks.clear();
    m_nBlockFree = 0;
    m_pBlockEnd = nullptr;
}

size_t CAddressIndex::FindLive(std::string_view address, std::uint64_t hash) const
{
    if (m_slots.empty())
        return kNotFound;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask; m_slots[i].bUsed; i = (i + 1) & mask)
    {
        const Slot& slot = m_slots[i];
        if (slot.count > 0 && slot.hash == hash && slot.text == address)
            return i;
    }
    return kNotFound;
}

// Keeps the load at three quarters at most; tombstones are dropped on the way.
void CAddressIndex::Rehash()
{
    size_t capacity = 16;
    while (capacity < (m_nLive + 1) * 2)
        capacity *= 2;
    std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(capacity));
    const size_t mask = capacity - 1;
    m_nUsed = 0;
    for (const Slot& slot : old)
    {
        if (slot.count == 0)
            continue;
        size_t i = slot.hash & mask;
        while (m_slots[i].bUsed)
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
