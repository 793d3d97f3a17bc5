#include "platform/RateLimit.h"

#include <algorithm>

namespace
{

// libcurl accepts receive buffers of 1 KiB and more; 64 KiB is the client's usual one.
constexpr std::int64_t kMinBurstBytes = 1024;
constexpr std::int64_t kMaxBurstBytes = std::int64_t{64} * 1024;
constexpr std::int64_t kBurstsPerSecond = 16;

} // namespace

CRateLimit::CRateLimit(std::int64_t nBytesPerSecond, Clock::time_point start)
    : m_nBytesPerSecond(std::max<std::int64_t>(nBytesPerSecond, 1)),
      m_nBurstBytes(static_cast<std::size_t>(
          std::clamp(m_nBytesPerSecond / kBurstsPerSecond, kMinBurstBytes, kMaxBurstBytes))),
      m_paidUntil(start)
{
}

CRateLimit::Clock::duration CRateLimit::CostOf(std::size_t nBytes) const
{
    // Rounded up: the limit may be undercut by a nanosecond, never exceeded.
    using std::chrono::nanoseconds;
    const auto nBytes64 = static_cast<std::int64_t>(nBytes);
    const std::int64_t nWhole = nBytes64 / m_nBytesPerSecond;
    const std::int64_t nRest = nBytes64 % m_nBytesPerSecond;
    const std::int64_t nPerSecond = nanoseconds(std::chrono::seconds(1)).count();
    const std::int64_t nRestNanos = (nRest * nPerSecond + m_nBytesPerSecond - 1) / m_nBytesPerSecond;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(nWhole) +
                                                       nanoseconds(nRestNanos));
}

CRateLimit::Clock::duration CRateLimit::Take(std::size_t nBytes, Clock::time_point now)
{
    // Earnings beyond one burst are forfeit.
    m_paidUntil = std::max(m_paidUntil, now - CostOf(m_nBurstBytes));
    const Clock::time_point ready = m_paidUntil + CostOf(std::min(nBytes, m_nBurstBytes));
    if (ready > now)
        return ready - now;
    m_paidUntil += CostOf(nBytes);
    return Clock::duration::zero();
}
