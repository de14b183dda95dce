#include "Helpers/Core/MainQueue.h"

#include "tests/support/WidgetApplication.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace faciward::helpers {
namespace {

using namespace std::chrono_literals;

TEST(MainQueueTest, postsRunAfterReturnOnMainThreadInOrder)
{
    testing::widgetApplication();
    std::vector<int> order;
    bool offMain = false;
    auto record = [&](int n) {
        return [&, n] {
            offMain = offMain || QThread::currentThread() != qApp->thread();
            order.push_back(n);
        };
    };
    postToMainAfter(0ms, record(-1)); // a zero delay still runs after the caller returns
    postToMain(record(0));
    EXPECT_TRUE(order.empty());
    std::thread worker([&] {
        for (int n = 1; n <= 10; ++n)
            postToMain(record(n));
        postToMainAfter(30ms, record(99));
    });
    worker.join();
    ASSERT_TRUE(testing::spinUntil([&] { return order.size() == 13; }));
    EXPECT_FALSE(offMain);
    EXPECT_EQ(order.back(), 99);
    std::erase_if(order, [](int n) { return n == -1 || n == 99; });
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())); // plain posts keep their order across threads
}

// Delays as callers give them, in seconds, and the delays they become: never
// negative, and an endless one never waited. The rounding up to whole
// milliseconds, and the steps of a wait longer than one Qt timer, are the
// timer's own (QtScheduler).
TEST(MainQueueTest, secondsBecomeDelaysAndEndlessOnesNever)
{
    using us = std::chrono::microseconds;
    using days = std::chrono::days;
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    struct Row {
        const char *name;
        double seconds;
        Delay delay;
    } const rows[] = {
        {"zero", 0, 0ms},
        {"negative", -1, 0ms},
        {"undefined", nan, 0ms},
        {"under a millisecond", 0.0004, us(400)},
        {"a fade", 0.25, 250ms},
        {"30 days", 30 * 86400.0, days(30)},
        {"50 days", 50 * 86400.0, days(50)},
        {"infinity", inf, kNever},
        {"beyond counting", 1e300, kNever},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(toDelay(std::chrono::duration<double>(row.seconds)), row.delay);
    }
}

TEST(MainQueueTest, anEndlessDelayNeverRunsAndLetsItsWorkGo)
{
    testing::widgetApplication();
    auto held = std::make_shared<int>(0);
    const std::weak_ptr<int> watch = held;
    postToMainAfter(kNever, [held] { ++*held; });
    held.reset();
    bool later = false;
    postToMainAfter(20ms, [&] { later = true; });
    ASSERT_TRUE(testing::spinUntil([&] { return later; }));
    EXPECT_TRUE(watch.expired()) << "dropped, not kept for ever";
}

} // namespace
} // namespace faciward::helpers
