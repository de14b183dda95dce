#include "Platform/Runtime/BoundedTaskGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <numeric>

using faciward::platform::boundedMap;

TEST(BoundedMap, keepsInputOrderAndNeverExceedsTheBound)
{
    std::vector<int> inputs(50);
    std::iota(inputs.begin(), inputs.end(), 0);
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    auto out = boundedMap(inputs, 2, [&](int v) {
        int now = running.fetch_add(1) + 1;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        running.fetch_sub(1);
        return v * v;
    });
    ASSERT_EQ(out.size(), inputs.size());
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(out[i], i * i);
    EXPECT_LE(peak.load(), 2);
}

TEST(BoundedMap, reallyRunsTwoAtOnce)
{
    // Both workers must be inside the call together to pass the barrier;
    // a sequential implementation would block here forever.
    std::barrier meet(2);
    auto out = boundedMap(std::vector<int>{1, 2}, 2, [&](int v) {
        meet.arrive_and_wait();
        return v;
    });
    EXPECT_EQ(out, (std::vector<int>{1, 2}));
}

TEST(BoundedMap, rethrowsFirstFailureInInputOrderAfterAllRan)
{
    std::atomic<int> ran{0};
    try {
        boundedMap(std::vector<int>{0, 1, 2, 3}, 2, [&](int v) -> int {
            ++ran;
            if (v == 1)
                throw std::runtime_error("one");
            if (v == 3)
                throw std::logic_error("three");
            return v;
        });
        FAIL() << "expected an exception";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "one");
    }
    EXPECT_EQ(ran.load(), 4);
}
