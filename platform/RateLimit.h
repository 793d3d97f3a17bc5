#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// The run's bandwidth: one token bucket every transfer draws its body bytes from, so the limit
// holds across files, connections and the first block of each. It starts empty, so the very first
// bytes wait their turn too, and it never holds more than one burst, so an idle spell earns no
// flood afterwards. The worker thread drives every transfer and is the only one to use it.
class CRateLimit
{
public:
    using Clock = std::chrono::steady_clock;

    explicit CRateLimit(std::int64_t nBytesPerSecond, Clock::time_point start = Clock::now());

    std::int64_t BytesPerSecond() const { return m_nBytesPerSecond; }
    // The most the bucket holds: a sixteenth of a second's worth, within the client's bounds for
    // its receive buffer. A buffer of this size hands out blocks that pass whole.
    std::size_t BurstBytes() const { return m_nBurstBytes; }

    // Zero when `nBytes` may pass at `now`, and they are counted; otherwise how long they must
    // wait, and nothing is counted. A block larger than a burst passes once the bucket is full
    // and leaves it in debt, so the average still holds.
    Clock::duration Take(std::size_t nBytes, Clock::time_point now);

private:
    Clock::duration CostOf(std::size_t nBytes) const;

    std::int64_t m_nBytesPerSecond;
    std::size_t m_nBurstBytes;
    // The bucket as a time: it holds the bytes earned between this point and now, at most a burst.
    Clock::time_point m_paidUntil;
};
