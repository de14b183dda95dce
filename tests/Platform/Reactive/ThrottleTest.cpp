#include "Platform/Reactive/PassthroughSubject.h"
#include "tests/support/VirtualScheduler.h"

#include <gtest/gtest.h>

using namespace faciward::platform;

// The check cycle's timeline covers what the throttle lets through; here, what a
// cancelled subscription leaves behind.
TEST(Throttle, cancelDropsHeldValueAndNewSubscriptionStartsClean)
{
    faciward::testing::VirtualScheduler main;
    PassthroughSubject<int> frames;
    std::vector<int> out;
    const auto subscribe = [&] {
        return frames.publisher().throttle(main, seconds(0.6), true).sink([&](int v) { out.push_back(v); });
    };
    auto c = subscribe();
    frames.send(1);
    frames.send(2); // held
    c.cancel();
    main.advanceBy(1.0);
    EXPECT_EQ(out, std::vector<int>{1});
    auto again = subscribe();
    frames.send(3); // a fresh subscription has no window open
    EXPECT_EQ(out, (std::vector<int>{1, 3}));
    EXPECT_EQ(main.pendingTimers(), 0u);
}
