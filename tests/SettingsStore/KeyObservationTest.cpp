#include "SettingsStore/LifetimeTrackerList.h"
#include "SettingsStore/NotificationSuppression.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/UserDefaultsKeyObservation.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <semaphore>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace faciward::prefs {
namespace {

using namespace std::chrono_literals;
using platform::PlistValue;
using platform::SettingsStore;
using Change = KeyChange<std::int64_t>;

Change record(bool isPrior, std::int64_t newValue, std::int64_t oldValue)
{
    return Change{BaseChange::setting, std::nullopt, isPrior, newValue, oldValue};
}

class KeyObservationTest : public ::testing::Test
{
protected:
    faciward::testing::TempDir dir{"faciward-observe"};
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(dir / "settings.json");
    const Key<std::int64_t> number{"number", 6, store};
    std::vector<Change> changes;

    std::shared_ptr<PrefsObservation> observeNumber(const ObservationOptions &options)
    {
        return Prefs::observe(number, options, [this](const Change &change) { changes.push_back(change); });
    }
};

// One write (3 → 9) and one removal (9 → the default 6) under each option set.
TEST_F(KeyObservationTest, eachOptionSetGivesItsRecords)
{
    using enum ObservationOption;
    const std::vector<Change> plain{record(false, 9, 3), record(false, 6, 9)};
    const std::vector<Change> initialRecords{record(false, 3, 6), record(false, 9, 3), record(false, 6, 9)};
    const std::pair<ObservationOptions, std::vector<Change>> cases[] = {
        {{}, plain},
        // prior: a record before each change, whose new value is the default
        {{prior}, {record(true, 6, 3), record(false, 9, 3), record(true, 6, 9), record(false, 6, 9)}},
        // initial: the current value at once, with the default as old value
        {{initial}, initialRecords},
        {{initial, prior}, initialRecords},
    };
    for (const auto &[options, expected] : cases) {
        changes.clear();
        ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
        auto observation = observeNumber(options);
        ASSERT_TRUE(Prefs::set(number, std::int64_t{9}));
        ASSERT_TRUE(number.reset());
        EXPECT_EQ(changes, expected);
    }
}

TEST_F(KeyObservationTest, theHandlerReadsTheNewValueAndRunsOnTheWritingThread)
{
    std::optional<std::int64_t> readInHandler;
    std::thread::id handlerThread;
    auto observation = Prefs::observe(number, {}, [&](const Change &) {
        readInHandler = Prefs::get(number);
        handlerThread = std::this_thread::get_id();
    });
    std::thread::id writerThread;
    std::thread([&] {
        writerThread = std::this_thread::get_id();
        EXPECT_TRUE(Prefs::set(number, std::int64_t{42}));
    }).join();
    EXPECT_EQ(readInHandler, 42);
    EXPECT_EQ(handlerThread, writerThread);
}

TEST_F(KeyObservationTest, anObservationOfSeveralKeysFiresOncePerWrite)
{
    const Key<bool> flag("flag", false, store);
    const Key<std::int64_t> unobserved("unobserved", 0, store);
    auto otherStore = std::make_shared<SettingsStore>(dir / "other.json");
    const Key<std::string> elsewhere("elsewhere", "", otherStore);
    int calls = 0;
    auto observation = Prefs::observe({number, flag, elsewhere}, {}, [&] { ++calls; });
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    ASSERT_TRUE(Prefs::set(flag, true));
    ASSERT_TRUE(Prefs::set(elsewhere, std::string("x")));
    ASSERT_TRUE(Prefs::update(number, [](std::int64_t &n) { ++n; }));
    ASSERT_TRUE(Prefs::set(unobserved, std::int64_t{5})); // not observed
    ASSERT_TRUE(flag.reset());
    ASSERT_TRUE(flag.reset()); // nothing stored: no change
    EXPECT_EQ(calls, 5);

    observation->stop();
    EXPECT_EQ(store->observerCount("number"), 0u);
    EXPECT_EQ(store->observerCount("flag"), 0u);
    EXPECT_EQ(otherStore->observerCount("elsewhere"), 0u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
    EXPECT_EQ(calls, 5);
    auto initial = Prefs::observe({number, flag}, {ObservationOption::initial}, [&] { ++calls; });
    EXPECT_EQ(calls, 7) << "with initial: once per key at once";
}

TEST_F(KeyObservationTest, suppressionOnOneThreadLeavesAnotherThreadsNoticesAlone)
{
    std::mutex mutex;
    std::vector<std::pair<std::int64_t, std::thread::id>> heard;
    auto observation = Prefs::observe(number, {}, [&](const Change &change) {
        std::lock_guard lock(mutex);
        heard.emplace_back(change.newValue, std::this_thread::get_id());
    });
    // Real-time limits only turn a hang into a failure.
    std::binary_semaphore suppressedWrote{0}, otherWrote{0};
    std::thread::id otherThread;
    std::thread other([&] {
        otherThread = std::this_thread::get_id();
        ASSERT_TRUE(suppressedWrote.try_acquire_for(20s));
        EXPECT_TRUE(Prefs::set(number, std::int64_t{2}));
        otherWrote.release();
    });
    PrefsObservation::runWithoutNotifying([&] {
        EXPECT_TRUE(Prefs::set(number, std::int64_t{1}));
        suppressedWrote.release();
        // The other thread writes while this one still suppresses.
        EXPECT_TRUE(otherWrote.try_acquire_for(20s));
    });
    other.join();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, 2);
    EXPECT_EQ(heard[0].second, otherThread);

    EXPECT_TRUE(Prefs::set(number, std::int64_t{3}));
    EXPECT_EQ(heard.size(), 2u) << "notices are back on after the body";
}

TEST_F(KeyObservationTest, suppressionIsRestoredWhenNestedAndWhenTheBodyThrows)
{
    auto observation = observeNumber({});
    PrefsObservation::runWithoutNotifying([&] {
        PrefsObservation::runWithoutNotifying([&] { EXPECT_TRUE(Prefs::set(number, std::int64_t{1})); });
        EXPECT_TRUE(NotificationSuppression::isActive()) << "the inner body must not turn notices back on";
        EXPECT_TRUE(Prefs::set(number, std::int64_t{2}));
    });
    EXPECT_FALSE(NotificationSuppression::isActive());
    EXPECT_TRUE(changes.empty());

    EXPECT_THROW(PrefsObservation::runWithoutNotifying([] { throw std::runtime_error("body failed"); }),
                 std::runtime_error);
    EXPECT_FALSE(NotificationSuppression::isActive());
    ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
    EXPECT_EQ(changes, (std::vector<Change>{record(false, 3, 2)}));
}

TEST_F(KeyObservationTest, stoppingTwiceBeforeStartingOrAfterTheStoreIsGoneIsHarmless)
{
    auto running = observeNumber({ObservationOption::prior});
    // Made but stopped before it starts, as a subscription cancelled early: it never registers.
    auto idle = UserDefaultsKeyObservation::create(store, "number", [](const BaseChange &) {});
    idle->stop();
    idle->start({});
    idle->stop();
    idle.reset();
    EXPECT_EQ(store->observerCount("number"), 1u) << "someone else's registration stays";
    running->stop();
    running->stop();
    EXPECT_EQ(store->observerCount("number"), 0u);
    auto dropped = observeNumber({});
    dropped.reset(); // dropping the last reference unregisters
    EXPECT_EQ(store->observerCount("number"), 0u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_TRUE(changes.empty());

    auto own = std::make_shared<SettingsStore>(dir / "own.json");
    auto outliving = UserDefaultsKeyObservation::create(own, "k", [](const BaseChange &) {});
    outliving->start({});
    own.reset();
    EXPECT_EQ(outliving->suite(), nullptr);
    outliving->stop();
}

// Two owners, a and b, and one observation of "number" that the test may keep or
// drop after tying it: who keeps it registered, and when does it stop?
TEST_F(KeyObservationTest, aTieKeepsTheObservationUntilItsOwnerGoesUntyingOrRetyingEndsIt)
{
    using Tie = std::function<void(PrefsObservation &, const Associable &a, const Associable &b)>;
    const Key<std::int64_t> other{"other", 0, store};
    const struct
    {
        const char *what;
        bool composite;
        Tie tie;
        bool keep;                 // the test still holds the observation
        std::size_t onA, onB;      // trackers on each owner
        std::size_t registered[3]; // at the start, once a has gone, once b has gone
    } cases[] = {
        {"tied and dropped", false, [](auto &o, auto &a, auto &) { o.tieToOwner(a); }, false, 1, 0, {1, 0, 0}},
        {"tied and kept", false, [](auto &o, auto &a, auto &) { o.tieToOwner(a); }, true, 1, 0, {1, 0, 0}},
        {"untied and kept", false,
         [](auto &o, auto &a, auto &) {
             o.tieToOwner(a);
             o.untieFromOwner();
         },
         true, 0, 0, {1, 1, 1}},
        {"untied and dropped", false,
         [](auto &o, auto &a, auto &) {
             o.tieToOwner(a);
             o.untieFromOwner();
         },
         false, 0, 0, {0, 0, 0}},
        {"tied twice to one owner", false,
         [](auto &o, auto &a, auto &) {
             o.tieToOwner(a);
             o.tieToOwner(a);
         },
         false, 1, 0, {1, 0, 0}},
        {"tied to a, then to b", false,
         [](auto &o, auto &a, auto &b) {
             o.tieToOwner(a);
             o.tieToOwner(b);
         },
         false, 0, 1, {1, 1, 0}},
        {"several keys, tied and dropped", true, [](auto &o, auto &a, auto &) { o.tieToOwner(a); }, false, 1, 0,
         {1, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<Associable> a(std::in_place), b(std::in_place);
        int heard = 0;
        auto observation = c.composite
                               ? Prefs::observe({number, other}, {}, [&heard] { ++heard; })
                               : Prefs::observe(number, {}, [&heard](const Change &) { ++heard; });
        c.tie(*observation, *a, *b);
        EXPECT_EQ(a->lifetimeTrackers()->size(), c.onA);
        EXPECT_EQ(b->lifetimeTrackers()->size(), c.onB);
        if (!c.keep)
            observation.reset();
        std::int64_t value = 0;
        int expectedHeard = 0;
        const auto writeAndCount = [&](std::size_t stage) {
            EXPECT_EQ(store->observerCount("number"), c.registered[stage]) << "stage " << stage;
            ASSERT_TRUE(Prefs::set(number, ++value));
            expectedHeard += static_cast<int>(c.registered[stage]);
            EXPECT_EQ(heard, expectedHeard) << "stage " << stage;
        };
        writeAndCount(0);
        a.reset();
        writeAndCount(1);
        b.reset();
        writeAndCount(2);
    }
}

} // namespace
} // namespace faciward::prefs
