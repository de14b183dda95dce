#include "SettingsStore/Prefs.h"
#include "SettingsStore/PrefsPublisher.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
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

TEST_F(PrefsPublisherTest, everyLiveSubscriberGetsEveryChangeInItsOneReceiver)
{
    using Subscribe = std::function<platform::AnyCancellable(std::function<void()>)>;
    using Keys = std::vector<std::reference_wrapper<const AnyKey>>;
    const Key<std::int64_t> other{"other", 0, store};
    const struct
    {
        const char *what;
        Subscribe subscribe;
        std::size_t whileBoth; // elements each subscriber gets from the first writes
        std::size_t afterwards; // elements the second gets once the first is cancelled
    } cases[] = {
        {"typed, one key",
         [&](auto heard) { return Prefs::publisher(number).sink([heard](const Change &) { heard(); }); }, 2, 1},
        {"raw, one key",
         [&](auto heard) {
             return PrefsPublisher(store, "number", {}).sink([heard](const BaseChange &) { heard(); });
         },
         2, 1},
        {"two keys",
         [&](auto heard) {
             return Prefs::publisher(Keys{number, flag}).sink([heard](const platform::Void &) { heard(); });
         },
         3, 2},
        {"no keys",
         [&](auto heard) { return Prefs::publisher(Keys{}).sink([heard](const platform::Void &) { heard(); }); }, 0, 0},
    };
    const auto counts = [](std::size_t n) {
        std::vector<int> sequence(n);
        std::iota(sequence.begin(), sequence.end(), 1);
        return sequence;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Prefs::removeAll(*store);
        // Each receiver counts in its own state: a copy per element would start from 0 every time.
        std::vector<int> first, second;
        auto a = c.subscribe([&first, seen = 0]() mutable { first.push_back(++seen); });
        auto b = c.subscribe([&second, seen = 0]() mutable { second.push_back(++seen); });
        ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
        ASSERT_TRUE(Prefs::set(flag, true));
        ASSERT_TRUE(Prefs::set(other, std::int64_t{5}));
        ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
        EXPECT_EQ(first, counts(c.whileBoth));
        EXPECT_EQ(second, counts(c.whileBoth));
        a.cancel();
        ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
        ASSERT_TRUE(Prefs::set(flag, false));
        EXPECT_EQ(first, counts(c.whileBoth));
        EXPECT_EQ(second, counts(c.whileBoth + c.afterwards));
    }
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
