#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// How many holders each address has, for the queue and the visited list: an open-addressing
// table of 8-byte slots over texts kept in large blocks. A site of 100,000 addresses costs
// neither a node nor a string allocation per address, and the table stays small enough for the
// processor's caches. Texts stay valid until Clear, even after their count drops to zero. Exact,
// case-sensitive comparison.
class CAddressIndex
{
public:
    CAddressIndex() = default;
    CAddressIndex(const CAddressIndex&) = delete;
    CAddressIndex& operator=(const CAddressIndex&) = delete;

    // Every index hashes an address the same way, so a caller that asks several indexes about
    // one address hashes it once and passes the result to the overloads taking a hash.
    static std::uint64_t Hash(std::string_view address);

    // Counts one more holder of `address` and returns the stored text; when `bOnlyIfAbsent` and
    // the address already has a holder, changes nothing and returns nothing.
    std::optional<std::string_view> Add(std::string_view address, bool bOnlyIfAbsent);
    std::optional<std::string_view> Add(std::string_view address, std::uint64_t hash, bool bOnlyIfAbsent);
    // Counts one holder less; nothing happens when the address has none.
    void Remove(std::string_view address);
    bool Contains(std::string_view address) const;
    bool Contains(std::string_view address, std::uint64_t hash) const;
    // Starts loading the slot where a look-up of `hash` begins, so that work done meanwhile hides
    // the cache miss of a large table.
    void Prefetch(std::uint64_t hash) const;
    void Clear();

private:
    struct Slot
    {
        std::uint32_t tag;   // high half of the address's hash
        std::uint32_t entry; // position in m_entries plus one; kEmpty or kRemoved otherwise
    };
    struct Entry
    {
        std::string_view text;
        std::uint32_t count;
        std::uint32_t home; // low half of the hash: growing the table rehashes no text
    };

    static constexpr std::uint32_t kEmpty = 0;
    static constexpr std::uint32_t kRemoved = 0xFFFFFFFF;

    size_t FindSlot(std::string_view address, std::uint64_t hash) const;
    bool Holds(const Slot& slot, std::string_view address, std::uint32_t tag) const;
    void Rehash();
    std::string_view Store(std::string_view address);

    std::vector<Slot> m_slots;
    std::vector<Entry> m_entries;
    size_t m_nLive = 0;
    size_t m_nUsed = 0; // live and removed slots: what makes probing long
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_nBlockFree = 0;
    char* m_pBlockEnd = nullptr;
};
