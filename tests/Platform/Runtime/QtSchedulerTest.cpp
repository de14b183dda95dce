#include "Platform/Runtime/QtScheduler.h"
#include "tests/support/QtEventLoop.h"

#include <QThread>

#include <gtest/gtest.h>

#include <memory>
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
