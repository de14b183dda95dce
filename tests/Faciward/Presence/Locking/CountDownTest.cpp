#include "Faciward/Presence/Locking/CountDown.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using faciward::presence::CountDown;
using faciward::platform::seconds;
using faciward::testing::VirtualScheduler;
using Log = std::vector<std::string>;

namespace {

// Every publication and completion, with the virtual second it happened at.
class CountDownTest : public ::testing::Test
{
protected:
    VirtualScheduler main;
    std::unique_ptr<CountDown> countDown = std::make_unique<CountDown>(main);
    Log log;
    faciward::platform::AnyCancellable subscription =
        countDown->publisher().sink([this](std::uint64_t n) { log.push_back(std::to_string(n) + "@" + at()); });

    std::string at() const
    {
        std::ostringstream out;
        out << main.elapsed();
        return out.str();
    }
    std::function<void()> completion(const std::string &name)
    {
        return [this, name] { log.push_back(name + "@" + at()); };
    }
};

} // namespace

TEST_F(CountDownTest, publishesAtOnceThenEachIntervalAndCompletesOnceAtZero)
{
    countDown->start(2, seconds(0.5), completion("half"));
    main.advanceBy(2.0);
    countDown->start(3, seconds(1), completion("done"));
    main.advanceBy(13.0);
    EXPECT_EQ(log, (Log{"2@0", "1@0.5", "0@1", "half@1", "3@2", "2@3", "1@4", "0@5", "done@5"}));
    EXPECT_FALSE(countDown->isRunning());
    EXPECT_EQ(main.pendingTimers(), 0u);
}

TEST_F(CountDownTest, cancelRestartAndZeroEndAsTheyShould)
{
    countDown->start(3, seconds(1), completion("cancelled"));
    main.advanceBy(1.0);
    countDown->cancel();
    countDown->cancel();
    EXPECT_EQ(countDown->count(), 2u);
    countDown->start(3, seconds(1), completion("replaced"));
    main.advanceBy(1.5);
    countDown->start(1, seconds(1), completion("second"));
    main.advanceBy(10.0);
    // Zero publishes zero and completes on the next turn, not inside start(), and never wraps.
    log.push_back("|");
    countDown->start(0, seconds(1), completion("zero"));
    main.runPending();
    EXPECT_EQ(log.back(), "0@12.5");
    main.advanceBy(5.0);
    countDown->start(0, seconds(1), completion("cancelled zero"));
    countDown->cancel();
    main.advanceBy(5.0);
    EXPECT_EQ(log, (Log{"3@0", "2@1", "3@1", "2@2", "1@2.5", "0@3.5", "second@3.5", "|", "0@12.5", "zero@12.5",
                        "0@17.5"}));
    EXPECT_EQ(countDown->count(), 0u);
}

TEST_F(CountDownTest, completionsAndReceiversMayRestartOrCancelIt)
{
    int rounds = 0;
    std::function<void()> again = [&] {
        log.push_back("done@" + at());
        if (++rounds == 1)
            countDown->start(2, seconds(1), again);
    };
    countDown->start(1, seconds(1), again);
    main.advanceBy(10.0);
    EXPECT_EQ(log, (Log{"1@0", "0@1", "done@1", "2@1", "1@2", "0@3", "done@3"}));
    log.clear();
    auto canceller = countDown->publisher().sink([this](std::uint64_t n) {
        if (n == 0)
            countDown->cancel();
    });
    countDown->start(1, seconds(1), completion("done"));
    main.advanceBy(5.0);
    EXPECT_EQ(log, (Log{"1@10", "0@11"}));
}

TEST_F(CountDownTest, destroyingARunningCountDownStopsItsTicks)
{
    countDown->start(5, seconds(1), completion("done"));
    main.advanceBy(2.0);
    countDown.reset();
    auto zero = std::make_unique<CountDown>(main);
    zero->start(0, seconds(1), completion("zero"));
    zero.reset();
    main.advanceBy(10.0);
    EXPECT_EQ(log, (Log{"5@0", "4@1", "3@2"}));
    EXPECT_EQ(main.pendingTimers(), 0u);
}
