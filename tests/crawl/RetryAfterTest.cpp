#include "crawl/RetryAfter.h"

#include <gtest/gtest.h>

namespace
{

TEST(RetryAfter, SecondsOrADateCappedAtAMinute)
{
    // Sun, 06 Nov 1994 08:49:37 GMT
    const std::int64_t nNow = 784111777;
    struct Case
    {
        const char* value;
        long nExpected; // -1: no pause asked for
    };
    const Case cases[] = {
        {"0", 0},
        {"7", 7},
        {" 7 ", 7},
        {"60", 60},
        {"61", 60},
        {"86400", 60},
        {"99999999999999999999999", -1}, // beyond any count
        {"Sun, 06 Nov 1994 08:50:07 GMT", 30},
        {"Sun, 06 Nov 1994 09:49:37 GMT", 60},
        {"Sun, 06 Nov 1994 08:49:00 GMT", 0}, // already past
        {"Sun, 06 Nov 1994 08:50:07 GMT trailing", -1},
        {"Sun, 06 Xyz 1994 08:50:07 GMT", -1},
        {"-5", -1},
        {"5.5", -1},
        {"soon", -1},
        {"", -1},
    };
    for (const Case& c : cases)
    {
        const std::optional<std::chrono::seconds> wait = RetryAfter::Parse(c.value, nNow);
        const std::optional<std::chrono::seconds> expected =
            c.nExpected < 0 ? std::nullopt : std::optional<std::chrono::seconds>(c.nExpected);
        EXPECT_EQ(wait, expected) << c.value;
    }
}

} // namespace
