#include "Faciward/Presence/Locking/CountDown.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using faciward::presence::CountDown;
using faciward::platform::AnyCancellable;
using faciward::platform::seconds;
using faciward::testing::VirtualScheduler;

namespace {

// Every publication and completion, with the virtual second it happened at.
class CountDownTest : public ::testing::Test
{
protected:
    VirtualScheduler main;
    CountDown countDown{main};
    std::vector<std::string> log;
    AnyCancellable subscription = countDown.publisher().sink(
        [this](std::uint64_t n) { log.push_back(std::to_string(n) + "@" + at()); });

    std::string at() const
    {
        const double t = main.elapsed();
        return t == static_cast<int>(t) ? std::to_string(static_cast<int>(t)) : std::to_string(t).substr(0, 3);
    }
    std::function<void()> completion(const std::string &name)
    {
        return [this, name] { log.push_back(name + "@" + at()); };
    }
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(CountDownTest, publishesTheCountAtOnceThenEachSecondAndCompletesOnceAtZero)
{
    countDown.start(3, seconds(1), completion("done"));
    EXPECT_EQ(log, Log{"3@0"});
    EXPECT_TRUE(countDown.isRunning());
    main.advanceBy(3.0);
    EXPECT_EQ(log, (Log{"3@0", "2@1", "1@2", "0@3", "done@3"}));
    EXPECT_EQ(countDown.count(), 0u);
    EXPECT_FALSE(countDown.isRunning());
    EXPECT_EQ(main.pendingTimers(), 0u);
    main.advanceBy(10.0);
    EXPECT_EQ(log.size(), 5u);
}

TEST_F(CountDownTest, cancelStopsTicksSilentlyAndKeepsTheCount)
{
    countDown.start(3, seconds(1), completion("done"));
    main.advanceBy(1.0);
    countDown.cancel();
    countDown.cancel();
    main.advanceBy(10.0);
    EXPECT_EQ(log, (Log{"3@0", "2@1"}));
    EXPECT_EQ(countDown.count(), 2u);
    EXPECT_FALSE(countDown.isRunning());
}

TEST_F(CountDownTest, aRestartReplacesTheTimerAndTheCompletion)
{
    countDown.start(3, seconds(1), completion("first"));
    main.advanceBy(1.5);
    countDown.start(2, seconds(1), completion("second"));
    main.advanceBy(10.0);
    EXPECT_EQ(log, (Log{"3@0", "2@1", "2@1.5", "1@2.5", "0@3.5", "second@3.5"}));
}

TEST_F(CountDownTest, zeroPublishesZeroAndCompletesOnTheNextTurnWithoutWrapping)
{
    countDown.start(0, seconds(1), completion("done"));
    EXPECT_EQ(log, Log{"0@0"});
    // Not inside start(): the caller finishes its own work first.
    main.runPending();
    EXPECT_EQ(log, Log{"0@0"});
    main.advanceBy(0.0);
    EXPECT_EQ(log, (Log{"0@0", "done@0"}));
    main.advanceBy(5.0);
    EXPECT_EQ(log, (Log{"0@0", "done@0"}));
    EXPECT_EQ(countDown.count(), 0u);
    EXPECT_FALSE(countDown.isRunning());
}

TEST_F(CountDownTest, aZeroCountDownCancelledBeforeItsTurnNeverCompletes)
{
    countDown.start(0, seconds(1), completion("done"));
    countDown.cancel();
    main.advanceBy(5.0);
    EXPECT_EQ(log, Log{"0@0"});
}

TEST_F(CountDownTest, aCompletionThatRestartsTheCountDownKeepsItsNewTimer)
{
    int rounds = 0;
    std::function<void()> again = [&] {
        log.push_back("done@" + at());
        if (++rounds == 1)
            countDown.start(2, seconds(1), again);
    };
    countDown.start(1, seconds(1), again);
    main.advanceBy(10.0);
    EXPECT_EQ(log, (Log{"1@0", "0@1", "done@1", "2@1", "1@2", "0@3", "done@3"}));
    EXPECT_FALSE(countDown.isRunning());
}

TEST_F(CountDownTest, aReceiverThatCancelsOnZeroPreventsTheCompletion)
{
    auto canceller = countDown.publisher().sink([this](std::uint64_t n) {
        if (n == 0)
            countDown.cancel();
    });
    countDown.start(2, seconds(1), completion("done"));
    main.advanceBy(5.0);
    EXPECT_EQ(log, (Log{"2@0", "1@1", "0@2"}));
}

TEST_F(CountDownTest, theIntervalSetsTheTickPeriod)
{
    countDown.start(2, seconds(0.5), completion("done"));
    main.advanceBy(2.0);
    EXPECT_EQ(log, (Log{"2@0", "1@0.5", "0@1", "done@1"}));
}

TEST(CountDownLifetime, destroyingARunningCountDownStopsItsTicks)
{
    VirtualScheduler main;
    std::vector<std::uint64_t> seen;
    bool completed = false;
    auto countDown = std::make_unique<CountDown>(main);
    auto subscription = countDown->publisher().sink([&](std::uint64_t n) { seen.push_back(n); });
    countDown->start(5, seconds(1), [&] { completed = true; });
    main.advanceBy(2.0);
    countDown.reset();
    main.advanceBy(10.0);
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{5, 4, 3}));
    EXPECT_FALSE(completed);
    EXPECT_EQ(main.pendingTimers(), 0u);

    // The same for a zero count-down waiting for its turn.
    auto zero = std::make_unique<CountDown>(main);
    zero->start(0, seconds(1), [&] { completed = true; });
    zero.reset();
    main.advanceBy(1.0);
    EXPECT_FALSE(completed);
}
