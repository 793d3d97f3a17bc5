#include "platform/RateLimit.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace
{

using Clock = CRateLimit::Clock;
using std::chrono::microseconds;

Clock::time_point At(microseconds offset)
{
    return Clock::time_point{} + std::chrono::hours(1) + offset;
}

TEST(RateLimit, AnswersEachBlockWithItsWait)
{
    // 160,000 bytes a second: a burst of 10,000 bytes, one byte costs 6.25 microseconds.
    struct Step
    {
        microseconds at;
        size_t bytes;
        microseconds wait; // zero: passes, and is counted
    };
    struct Case
    {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"the bucket starts empty: even the first block waits for its share",
         {{microseconds(0), 1000, microseconds(6250)}, {microseconds(6250), 1000, microseconds(0)}}},
        {"a block that waited and was refused is not counted",
         {{microseconds(0), 1000, microseconds(6250)},
          {microseconds(1000), 1000, microseconds(5250)},
          {microseconds(6250), 1000, microseconds(0)},
          {microseconds(6250), 1000, microseconds(6250)}}},
        {"a long idle spell earns one burst, no more",
         {{microseconds(10'000'000), 10'000, microseconds(0)},
          {microseconds(10'000'000), 1, microseconds(7)}}},
        {"a block larger than a burst passes on a full bucket and leaves a debt",
         {{microseconds(1'000'000), 30'000, microseconds(0)},
          {microseconds(1'000'000), 1000, microseconds(131'250)},
          {microseconds(1'131'250), 1000, microseconds(0)}}},
        {"a larger block waits only until the bucket is full",
         {{microseconds(0), 30'000, microseconds(62'500)}, {microseconds(62'500), 30'000, microseconds(0)}}},
    };
    for (const Case& test : cases)
    {
        CRateLimit limit(160'000, At(microseconds(0)));
        EXPECT_EQ(limit.BurstBytes(), 10'000u);
        for (size_t i = 0; i < test.steps.size(); ++i)
        {
            const Step& step = test.steps[i];
            const auto wait = std::chrono::duration_cast<microseconds>(limit.Take(step.bytes, At(step.at)) +
                                                                       std::chrono::nanoseconds(999));
            EXPECT_EQ(wait.count(), step.wait.count()) << test.name << ", step " << i;
        }
    }
}

TEST(RateLimit, ReadersThatHonourTheWaitsGetTheRateAndNeverMore)
{
    // Several readers share one bucket, as transfers of one run do; each asks again when its wait
    // is over. At no time have more bytes passed than the rate allows since the start (plus what
    // one oversized block may borrow), and over a long run the readers are not starved.
    struct Case
    {
        std::int64_t rate;
        size_t readers;
        size_t maxBlock;
    };
    const std::vector<Case> cases = {
        {1000, 1, 1024}, {20'480, 3, 1280}, {100'000, 1, 6250}, {100'000, 5, 16'384}, {3'000'000, 8, 65'536},
    };
    std::mt19937 random(7);
    for (const Case& test : cases)
    {
        const Clock::time_point start = At(microseconds(0));
        CRateLimit limit(test.rate, start);
        const double borrow =
            test.maxBlock > limit.BurstBytes() ? double(test.maxBlock - limit.BurstBytes()) : 0;
        std::vector<Clock::time_point> next(test.readers, start);
        std::uniform_int_distribution<size_t> blockSize(1, test.maxBlock);
        std::vector<size_t> block(test.readers);
        for (size_t& size : block)
            size = blockSize(random);
        double passed = 0;
        Clock::time_point now = start;
        const Clock::time_point end = start + std::chrono::seconds(20);
        while (now < end)
        {
            size_t reader = 0;
            for (size_t i = 1; i < test.readers; ++i)
                reader = next[i] < next[reader] ? i : reader;
            now = next[reader];
            const Clock::duration wait = limit.Take(block[reader], now);
            if (wait == Clock::duration::zero())
            {
                passed += double(block[reader]);
                block[reader] = blockSize(random);
                next[reader] = now + std::chrono::microseconds(random() % 2000);
            }
            else
            {
                next[reader] = now + wait;
            }
            const double allowed = double(test.rate) * std::chrono::duration<double>(now - start).count();
            ASSERT_LE(passed, allowed + borrow + 1)
                << "rate " << test.rate << " after " << passed << " bytes";
        }
        const double seconds = std::chrono::duration<double>(now - start).count();
        EXPECT_GE(passed, 0.9 * double(test.rate) * seconds) << "rate " << test.rate;
    }
}

} // namespace
