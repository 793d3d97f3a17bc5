#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// How many holders each address has, for the queue and the visited list: an open-addressing
// table over texts kept in large blocks, so that a site of 100,000 addresses costs neither a
// node nor a string allocation per address, and a look-up touches one slot. Texts stay valid
// until Clear, even after their count drops to zero. Exact, case-sensitive comparison.
class CAddressIndex
{
public:
    CAddressIndex() = default;
    CAddressIndex(const CAddressIndex&) = delete;
    CAddressIndex& operator=(const CAddressIndex&) = delete;

    // Counts one more holder of `address` and returns the stored text; when `bOnlyIfAbsent` and
    // the address already has a holder, changes nothing and returns nothing.
    std::optional<std::string_view> Add(std::string_view address, bool bOnlyIfAbsent);
    // Counts one holder less; the address must have one.
    void Remove(std::string_view address);
    bool Contains(std::string_view address) const;
    void Clear();

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        std::string_view text;
        std::uint32_t count = 0;
        bool bUsed = false; // a used slot whose count fell to zero is a tombstone
    };

    size_t FindLive(std::string_view address, std::uint64_t hash) const;
    void Rehash();
    std::string_view Store(std::string_view address);

    std::vector<Slot> m_slots;
    size_t m_nLive = 0;
    size_t m_nUsed = 0;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_nBlockFree = 0;
    char* m_pBlockEnd = nullptr;
};
