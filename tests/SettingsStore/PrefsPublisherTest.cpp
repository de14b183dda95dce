#include "SettingsStore/Prefs.h"
#include "SettingsStore/PrefsPublisher.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

namespace faciward::prefs {
namespace {

using namespace std::chrono_literals;
using platform::PlistValue;
using platform::SettingsStore;
using Change = KeyChange<std::int64_t>;

class PrefsPublisherTest : public ::testing::Test
{
protected:
    faciward::testing::TempDir dir{"faciward-publish"};
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(dir / "settings.json");
    const Key<std::int64_t> number{"number", 6, store};
    const Key<bool> flag{"flag", false, store};
};

TEST_F(PrefsPublisherTest, cancellingDroppingOrCancellingFromTheReceiverUnregisters)
{
    int heard = 0;
    auto cancelled = Prefs::publisher(number).sink([&](const Change &) { ++heard; });
    {
        auto dropped = Prefs::publisher(number).sink([&](const Change &) { ++heard; });
        EXPECT_EQ(store->observerCount("number"), 2u);
    }
    cancelled.cancel();
    cancelled.cancel();
    EXPECT_EQ(store->observerCount("number"), 0u);
    platform::AnyCancellable own;
    own = Prefs::publisher(number).sink([&](const Change &) {
        ++heard;
        own.cancel();
    });
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(store->observerCount("number"), 0u);
}

TEST_F(PrefsPublisherTest, subscribingAndCancellingOnManyThreadsWhileWritingLeavesNothingBehind)
{
    constexpr int threads = 6;
    constexpr int rounds = 100;
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        std::int64_t n = 0;
        while (writing.load())
            EXPECT_TRUE(Prefs::set(number, ++n));
    });
    std::vector<std::thread> subscribers;
    for (int t = 0; t < threads; ++t)
        subscribers.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                auto heard = std::make_shared<std::atomic<int>>(0);
                auto subscription = Prefs::publisher(number, {ObservationOption::initial})
                                        .sink([heard](const Change &) { ++*heard; });
                EXPECT_GE(heard->load(), 1);
            }
        });
    for (auto &subscriber : subscribers)
        subscriber.join();
    writing.store(false);
    writer.join();
    EXPECT_EQ(store->observerCount("number"), 0u);
}

} // namespace
} // namespace faciward::prefs
