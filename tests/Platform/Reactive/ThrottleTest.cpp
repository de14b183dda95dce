#include "Platform/Reactive/PassthroughSubject.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace faciward::platform;
using faciward::testing::VirtualScheduler;

namespace {

struct Emission
{
    int value;
    double at;
    bool operator==(const Emission &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Emission &e)
{
    return os << e.value << "@" << e.at;
}

} // namespace

class ThrottleTest : public ::testing::Test
{
protected:
    VirtualScheduler main;
    PassthroughSubject<int> frames;
    std::vector<Emission> out;

    AnyCancellable subscribe(bool latest)
    {
        return frames.publisher().throttle(main, seconds(0.6), latest).sink([this](int v) {
            out.push_back({v, main.elapsed()});
        });
    }

    // A 30-frames-a-second camera: frame n at n/30 s.
    void camera(int count)
    {
        for (int n = 0; n < count; ++n) {
            frames.send(n);
            main.advanceBy(1.0 / 30);
        }
    }
};

TEST_F(ThrottleTest, latestFromThirtyFpsGivesFiveFramesInTwoPointFourSeconds)
{
    auto c = subscribe(true);
    camera(73); // up to 2.43 s
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(out[0], (Emission{0, 0.0}));
    for (std::size_t i = 1; i < 5; ++i) {
        EXPECT_NEAR(out[i].at, 0.6 * i, 1e-6);
        EXPECT_GE(out[i].at - out[i - 1].at, 0.6 - 1e-9);
        // The frame that goes out is the latest one sent by the window's end.
        const double step = std::chrono::duration<double>(seconds(1.0 / 30)).count();
        EXPECT_EQ(out[i].value, static_cast<int>(std::floor(out[i].at / step + 1e-9)));
    }
}

TEST_F(ThrottleTest, firstModeKeepsEarliestHeldValue)
{
    auto c = subscribe(false);
    camera(20); // 0 .. 0.63 s
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].value, 1);
    EXPECT_NEAR(out[1].at, 0.6, 1e-6);
}

TEST_F(ThrottleTest, valueAfterQuietWindowGoesOutAtOnce)
{
    auto c = subscribe(true);
    frames.send(1);
    main.advanceBy(5.0);
    frames.send(2);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NEAR(out[1].at, 5.0, 1e-9);
}

TEST_F(ThrottleTest, cancelDropsHeldValueAndNewSubscriptionStartsClean)
{
    auto c = subscribe(true);
    frames.send(1);
    frames.send(2); // held
    c.cancel();
    main.advanceBy(1.0);
    EXPECT_EQ(out.size(), 1u);
    auto again = subscribe(true);
    frames.send(3); // a fresh subscription has no window open
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].value, 3);
    EXPECT_EQ(main.pendingTimers(), 0u);
}
