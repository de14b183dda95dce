#include "Platform/Runtime/QtScheduler.h"
#include "tests/support/QtEventLoop.h"

#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>
#include <thread>

using faciward::platform::QtScheduler;
using namespace std::chrono_literals;

namespace {

// A safety net of 5 s real time turns a hang into a failure instead of a stuck test.
bool spinUntil(const std::function<bool()> &done)
{
    return faciward::testing::processEventsUntil(done, 5s);
}

} // namespace

class QtSchedulerTest : public ::testing::Test
{
protected:
    void SetUp() override { faciward::testing::coreApplication(); }
    QtScheduler scheduler;
};

TEST_F(QtSchedulerTest, postFromAnotherThreadRunsOnTheLoopThreadInOrder)
{
    std::vector<int> order;
    std::vector<bool> onLoop;
    std::jthread([&] {
        EXPECT_FALSE(scheduler.isCurrent());
        for (int i = 0; i < 3; ++i)
            scheduler.post([&, i] {
                order.push_back(i);
                onLoop.push_back(scheduler.isCurrent());
            });
    }).join();
    ASSERT_TRUE(spinUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(onLoop, (std::vector<bool>{true, true, true}));
}

TEST_F(QtSchedulerTest, repeatingTimerStopsWhenCancelled)
{
    int ticks = 0;
    auto timer = scheduler.repeatEvery(1ms, [&] { ++ticks; });
    ASSERT_TRUE(spinUntil([&] { return ticks >= 3; }));
    timer.cancel();
    const int atCancel = ticks;
    bool marker = false;
    auto later = scheduler.postAfter(20ms, [&] { marker = true; });
    ASSERT_TRUE(spinUntil([&] { return marker; }));
    EXPECT_EQ(ticks, atCancel);
}

TEST_F(QtSchedulerTest, timerArmedAndCancelledFromAnotherThread)
{
    bool fired = false;
    bool control = false;
    faciward::platform::AnyCancellable c, d;
    std::jthread([&] {
        c = scheduler.postAfter(1ms, [&] { fired = true; });
        c.cancel();
        d = scheduler.postAfter(5ms, [&] { control = true; });
    }).join();
    ASSERT_TRUE(spinUntil([&] { return control; }));
    EXPECT_FALSE(fired);
}

// A scheduler made on another thread for the loop's thread (as the first use
// of the toolkit's main queue may be) posts and arms its timers on the loop.
// Qt's timers wait at most an int of milliseconds: a longer wait is taken in
// steps that add up to it exactly.
TEST(QtSchedulerSteps, aWaitLongerThanOneTimerIsTakenInStepsThatAddUp)
{
    using days = std::chrono::days;
    using Duration = QtScheduler::Duration;
    constexpr Duration longest = QtScheduler::longestTimerWait;
    EXPECT_EQ(longest, std::chrono::milliseconds(2147483647));
    struct Row {
        const char *name;
        Duration wait;
        std::vector<Duration> steps;
    } const rows[] = {
        {"zero", 0ms, {0ms}},
        {"a fade", 250ms, {250ms}},
        {"longest single wait", longest, {longest}},
        {"one millisecond more", longest + 1ms, {longest, 1ms}},
        {"30 days", days(30), {longest, days(30) - longest}},
        {"50 days", days(50), {longest, longest, days(50) - 2 * longest}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Duration> steps;
        for (Duration remaining = row.wait; steps.empty() || remaining > 0ms; remaining -= steps.back())
            steps.push_back(QtScheduler::timerStep(remaining));
        EXPECT_EQ(steps, row.steps);
    }
}

// A tolerance lets the loop coalesce wake-ups, but the timer never fires early:
// Qt's coarse timers would, by up to 5 %.
TEST_F(QtSchedulerTest, aTimerWithToleranceNeverFiresEarly)
{
    constexpr int timers = 20;
    const auto start = QtScheduler::Clock::now();
    std::vector<QtScheduler::Duration> firedAfter;
    std::vector<faciward::platform::AnyCancellable> armed;
    for (int i = 0; i < timers; ++i)
        armed.push_back(scheduler.postAfter(200ms, [&] { firedAfter.push_back(QtScheduler::Clock::now() - start); },
                                            100ms));
    ASSERT_TRUE(spinUntil([&] { return firedAfter.size() == timers; }));
    for (const auto &after : firedAfter)
        EXPECT_GE(after, 200ms);
}

TEST(QtSchedulerForAThreadTest, madeElsewhereItRunsOnTheThreadItWasGiven)
{
    faciward::testing::coreApplication();
    QThread *loop = QThread::currentThread();
    std::unique_ptr<QtScheduler> scheduler;
    std::jthread([&] { scheduler = std::make_unique<QtScheduler>(loop); }).join();
    EXPECT_TRUE(scheduler->isCurrent());
    std::vector<bool> onLoop;
    scheduler->post([&] { onLoop.push_back(QThread::currentThread() == loop); });
    auto timer = scheduler->postAfter(1ms, [&] { onLoop.push_back(QThread::currentThread() == loop); });
    ASSERT_TRUE(spinUntil([&] { return onLoop.size() == 2; }));
    EXPECT_EQ(onLoop, (std::vector<bool>{true, true}));
}
