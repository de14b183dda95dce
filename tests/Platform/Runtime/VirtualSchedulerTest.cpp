#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using faciward::testing::VirtualScheduler;
using faciward::platform::seconds;

TEST(VirtualScheduler, timersFireInDueThenCreationOrderWithoutDrift)
{
    VirtualScheduler s;
    std::vector<std::string> log;
    auto a = s.repeatEvery(seconds(5), [&] { log.push_back("idle@" + std::to_string(int(s.elapsed()))); });
    auto b = s.postAfter(seconds(5), [&] { log.push_back("once@" + std::to_string(int(s.elapsed()))); });
    s.advanceBy(15.0);
    EXPECT_EQ(log, (std::vector<std::string>{"idle@5", "once@5", "idle@10", "idle@15"}));
    EXPECT_DOUBLE_EQ(s.elapsed(), 15.0);
}

TEST(VirtualScheduler, workPostedByTimersRunsBeforeLaterTimers)
{
    VirtualScheduler s;
    std::vector<int> log;
    auto a = s.postAfter(seconds(1), [&] {
        log.push_back(1);
        s.post([&] { log.push_back(2); });
    });
    auto b = s.postAfter(seconds(2), [&] { log.push_back(3); });
    s.advanceBy(3.0);
    EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
}

TEST(VirtualScheduler, cancelledTimerNeverFiresAndWallClockFollows)
{
    VirtualScheduler s;
    bool fired = false;
    auto c = s.postAfter(seconds(1), [&] { fired = true; });
    c.cancel();
    const auto wall = s.wallNow();
    s.advanceBy(2.0);
    EXPECT_FALSE(fired);
    EXPECT_EQ(s.wallNow() - wall, std::chrono::seconds(2));
    s.jumpWall(seconds(3600));
    EXPECT_EQ(s.wallNow() - wall, std::chrono::seconds(3602));
    EXPECT_DOUBLE_EQ(s.elapsed(), 2.0);
}
