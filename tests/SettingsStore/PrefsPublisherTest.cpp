#include "SettingsStore/Prefs.h"
#include "SettingsStore/PrefsPublisher.h"
#include "tests/support/Guards.h"
#include "tests/support/VirtualScheduler.h"

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

TEST_F(PrefsPublisherTest, everySubscriberGetsEveryChangeUntilItCancels)
{
    const PrefsPublisher publisher(store, "number", {});
    std::vector<std::int64_t> first, second;
    auto one = publisher.sink([&](const BaseChange &c) { first.push_back(*c.newValue->getIf<std::int64_t>()); });
    auto two = publisher.sink([&](const BaseChange &c) { second.push_back(*c.newValue->getIf<std::int64_t>()); });
    EXPECT_EQ(store->observerCount("number"), 2u) << "an observation of its own for each subscriber";
    ASSERT_TRUE(store->setObject("number", PlistValue(1)));
    one.cancel();
    ASSERT_TRUE(store->setObject("number", PlistValue(2)));
    EXPECT_EQ(first, (std::vector<std::int64_t>{1}));
    EXPECT_EQ(second, (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(store->observerCount("number"), 1u);
}

TEST_F(PrefsPublisherTest, theTypedPublisherStartsWithTheCurrentValueWhenAskedForInitial)
{
    ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
    std::vector<Change> changes;
    auto subscription = Prefs::publisher(number, {ObservationOption::initial}).sink([&](const Change &c) {
        changes.push_back(c);
    });
    ASSERT_EQ(changes.size(), 1u) << "delivered before sink returns";
    EXPECT_EQ(changes[0], (Change{BaseChange::setting, std::nullopt, false, 3, 6}));
    ASSERT_TRUE(Prefs::set(number, std::int64_t{4}));
    EXPECT_EQ(changes.back(), (Change{BaseChange::setting, std::nullopt, false, 4, 3}));
}

TEST_F(PrefsPublisherTest, withPriorEachChangeComesAsTwoRecords)
{
    std::vector<bool> priors;
    auto subscription = Prefs::publisher(number, {ObservationOption::prior}).sink([&](const Change &c) {
        priors.push_back(c.isPrior);
    });
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(priors, (std::vector<bool>{true, false}));
}

TEST_F(PrefsPublisherTest, afterCancellingOrDroppingTheSubscriptionNothingArrivesAndNothingIsRegistered)
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
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(heard, 0);
}

TEST_F(PrefsPublisherTest, aSubscriberMayCancelFromItsOwnReceiver)
{
    platform::AnyCancellable subscription;
    int heard = 0;
    subscription = Prefs::publisher(number).sink([&](const Change &) {
        ++heard;
        subscription.cancel();
    });
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(store->observerCount("number"), 0u);
}

TEST_F(PrefsPublisherTest, theSeveralKeysPublisherGivesOneElementPerChangeOfAnyKey)
{
    int elements = 0;
    auto subscription = Prefs::publisher({number, flag}).sink([&](platform::Void) { ++elements; });
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    ASSERT_TRUE(Prefs::set(flag, true));
    EXPECT_EQ(elements, 2);
    subscription.cancel();
    EXPECT_EQ(store->observerCount("number"), 0u);
    EXPECT_EQ(store->observerCount("flag"), 0u);
    ASSERT_TRUE(Prefs::set(flag, false));
    EXPECT_EQ(elements, 2);
}

TEST_F(PrefsPublisherTest, theSeveralKeysPublisherOverNoKeysEmitsNothing)
{
    int elements = 0;
    auto subscription = Prefs::publisher(std::vector<std::reference_wrapper<const AnyKey>>{}).sink([&](platform::Void) {
        ++elements;
    });
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(elements, 0);
}

TEST_F(PrefsPublisherTest, changesFromAnotherThreadCanBeMovedToAScheduler)
{
    faciward::testing::VirtualScheduler scheduler;
    std::vector<std::pair<std::int64_t, bool>> received;
    auto subscription = Prefs::publisher(number).receiveOn(scheduler).sink([&](const Change &c) {
        received.emplace_back(c.newValue, scheduler.isCurrent());
    });
    std::thread([&] { EXPECT_TRUE(Prefs::set(number, std::int64_t{5})); }).join();
    ASSERT_TRUE(scheduler.waitForPost(20s));
    EXPECT_EQ(received, (std::vector<std::pair<std::int64_t, bool>>{{5, true}}));
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
