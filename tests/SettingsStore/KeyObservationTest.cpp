#include "SettingsStore/LifetimeTrackerList.h"
#include "SettingsStore/NotificationSuppression.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/UserDefaultsKeyObservation.h"
#include "TestTypes.h"
#include "tests/support/Guards.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
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

// Waits, in real time and with a generous limit, until a flag is raised.
class Signal
{
public:
    void raise()
    {
        std::lock_guard lock(m_mutex);
        m_raised = true;
        m_condition.notify_all();
    }
    bool wait()
    {
        std::unique_lock lock(m_mutex);
        return m_condition.wait_for(lock, 20s, [this] { return m_raised; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_raised = false;
};

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

TEST(ObservationOptionTest, theOptionSetsMapToTheStoresBits)
{
    using enum ObservationOption;
    EXPECT_EQ(keyValueObservingOptions({}), 3u);
    EXPECT_EQ(keyValueObservingOptions({prior}), 11u);
    EXPECT_EQ(keyValueObservingOptions({initial}), 7u);
    EXPECT_EQ(keyValueObservingOptions({initial, prior}), 7u);
}

// One write (3 → 9) and one removal (9 → the default 6) under each option set:
// the records, one by one.
TEST_F(KeyObservationTest, withoutOptionsOnlyTheRecordsAfterEachChange)
{
    ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
    auto observation = observeNumber({});
    EXPECT_TRUE(changes.empty());
    ASSERT_TRUE(Prefs::set(number, std::int64_t{9}));
    ASSERT_TRUE(number.reset());
    EXPECT_EQ(changes, (std::vector<Change>{record(false, 9, 3), record(false, 6, 9)}));
}

TEST_F(KeyObservationTest, priorAddsARecordBeforeEachChangeWhoseNewValueIsTheDefault)
{
    ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
    auto observation = observeNumber({ObservationOption::prior});
    ASSERT_TRUE(Prefs::set(number, std::int64_t{9}));
    ASSERT_TRUE(number.reset());
    EXPECT_EQ(changes, (std::vector<Change>{record(true, 6, 3), record(false, 9, 3), record(true, 6, 9),
                                            record(false, 6, 9)}));
}

TEST_F(KeyObservationTest, initialAddsTheCurrentValueAtOnceWithTheDefaultAsOldValue)
{
    ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
    auto observation = observeNumber({ObservationOption::initial});
    ASSERT_EQ(changes, (std::vector<Change>{record(false, 3, 6)}));
    ASSERT_TRUE(Prefs::set(number, std::int64_t{9}));
    ASSERT_TRUE(number.reset());
    EXPECT_EQ(changes, (std::vector<Change>{record(false, 3, 6), record(false, 9, 3), record(false, 6, 9)}));
}

TEST_F(KeyObservationTest, initialWithPriorIsInitialAlone)
{
    ASSERT_TRUE(Prefs::set(number, std::int64_t{3}));
    auto observation = observeNumber({ObservationOption::initial, ObservationOption::prior});
    ASSERT_TRUE(Prefs::set(number, std::int64_t{9}));
    ASSERT_TRUE(number.reset());
    EXPECT_EQ(changes, (std::vector<Change>{record(false, 3, 6), record(false, 9, 3), record(false, 6, 9)}));
}

TEST_F(KeyObservationTest, storedObjectsAreConvertedAndWhatDoesNotConvertReadsAsTheDefault)
{
    auto observation = observeNumber({});
    ASSERT_TRUE(store->setObject("number", PlistValue("7"))); // JSON text of a number
    ASSERT_TRUE(store->setObject("number", PlistValue("seven")));
    ASSERT_TRUE(store->setObject("number", PlistValue(2.0)));
    EXPECT_EQ(changes, (std::vector<Change>{record(false, 7, 6), record(false, 6, 7), record(false, 2, 6)}));
}

TEST_F(KeyObservationTest, structuredValuesArriveTyped)
{
    const Key<test::Pose> pose("pose", test::Pose{0, 0, 0}, store);
    std::vector<KeyChange<test::Pose>> poses;
    auto observation =
        Prefs::observe(pose, {}, [&](const KeyChange<test::Pose> &change) { poses.push_back(change); });
    ASSERT_TRUE(Prefs::set(pose, test::Pose{1, 2, 3}));
    ASSERT_EQ(poses.size(), 1u);
    EXPECT_EQ(poses[0].newValue, (test::Pose{1, 2, 3}));
    EXPECT_EQ(poses[0].oldValue, (test::Pose{0, 0, 0}));
}

TEST_F(KeyObservationTest, anOptionalKeyWithoutDefaultReportsTheEmptyOptionalForAbsentValues)
{
    const Key<std::optional<test::Pose>> maybe("maybe", store);
    std::vector<KeyChange<std::optional<test::Pose>>> seen;
    auto observation = Prefs::observe(maybe, {ObservationOption::initial},
                                      [&](const KeyChange<std::optional<test::Pose>> &c) { seen.push_back(c); });
    ASSERT_TRUE(Prefs::set(maybe, std::optional<test::Pose>(test::Pose{1, 2, 3})));
    ASSERT_TRUE(Prefs::set(maybe, std::optional<test::Pose>()));
    using Record = KeyChange<std::optional<test::Pose>>;
    EXPECT_EQ(seen, (std::vector<Record>{
                        Record{BaseChange::setting, std::nullopt, false, std::nullopt, std::nullopt},
                        Record{BaseChange::setting, std::nullopt, false, test::Pose{1, 2, 3}, std::nullopt},
                        Record{BaseChange::setting, std::nullopt, false, std::nullopt, test::Pose{1, 2, 3}},
                    }));
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
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(Prefs::set(flag, true));
    EXPECT_EQ(calls, 2);
    ASSERT_TRUE(Prefs::set(elsewhere, std::string("x")));
    EXPECT_EQ(calls, 3);
    ASSERT_TRUE(Prefs::update(number, [](std::int64_t &n) { ++n; }));
    EXPECT_EQ(calls, 4);
    ASSERT_TRUE(Prefs::set(unobserved, std::int64_t{5}));
    EXPECT_EQ(calls, 4);
    ASSERT_TRUE(flag.reset());
    EXPECT_EQ(calls, 5);
    ASSERT_TRUE(flag.reset()); // nothing stored: no change
    EXPECT_EQ(calls, 5);

    observation->stop();
    EXPECT_EQ(store->observerCount("number"), 0u);
    EXPECT_EQ(store->observerCount("flag"), 0u);
    EXPECT_EQ(otherStore->observerCount("elsewhere"), 0u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
    EXPECT_EQ(calls, 5);
}

TEST_F(KeyObservationTest, anObservationOfSeveralKeysWithInitialFiresOncePerKeyAtOnce)
{
    const Key<bool> flag("flag", false, store);
    int calls = 0;
    auto observation = Prefs::observe({number, flag}, {ObservationOption::initial}, [&] { ++calls; });
    EXPECT_EQ(calls, 2);
    ASSERT_TRUE(Prefs::set(flag, true));
    EXPECT_EQ(calls, 3);
}

TEST_F(KeyObservationTest, suppressionOnOneThreadLeavesAnotherThreadsNoticesAlone)
{
    std::mutex mutex;
    std::vector<std::pair<std::int64_t, std::thread::id>> heard;
    auto observation = Prefs::observe(number, {}, [&](const Change &change) {
        std::lock_guard lock(mutex);
        heard.emplace_back(change.newValue, std::this_thread::get_id());
    });
    Signal suppressedWrote, otherWrote;
    std::thread::id otherThread;
    std::thread other([&] {
        otherThread = std::this_thread::get_id();
        ASSERT_TRUE(suppressedWrote.wait());
        EXPECT_TRUE(Prefs::set(number, std::int64_t{2}));
        otherWrote.raise();
    });
    PrefsObservation::runWithoutNotifying([&] {
        EXPECT_TRUE(Prefs::set(number, std::int64_t{1}));
        suppressedWrote.raise();
        // The other thread writes while this one still suppresses.
        EXPECT_TRUE(otherWrote.wait());
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

TEST_F(KeyObservationTest, stoppingTwiceOrWithoutStartingIsHarmless)
{
    auto running = observeNumber({});
    EXPECT_EQ(store->observerCount("number"), 1u);

    // Made but never started, as a subscription cancelled before it starts.
    auto idle = UserDefaultsKeyObservation::create(store, "number", [](const BaseChange &) {});
    idle->stop();
    idle->stop();
    idle.reset();
    EXPECT_EQ(store->observerCount("number"), 1u) << "someone else's registration stays";

    running->stop();
    EXPECT_EQ(store->observerCount("number"), 0u);
    running->stop();
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_TRUE(changes.empty());
}

TEST_F(KeyObservationTest, anObservationStoppedBeforeItStartsNeverRegisters)
{
    auto observation = UserDefaultsKeyObservation::create(store, "number", [](const BaseChange &) {});
    observation->stop();
    observation->start({});
    EXPECT_EQ(store->observerCount("number"), 0u);
    EXPECT_EQ(observation->suite(), nullptr);
}

TEST_F(KeyObservationTest, droppingTheLastReferenceUnregisters)
{
    auto observation = observeNumber({ObservationOption::prior});
    EXPECT_EQ(store->observerCount("number"), 1u);
    observation.reset();
    EXPECT_EQ(store->observerCount("number"), 0u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_TRUE(changes.empty());
}

TEST_F(KeyObservationTest, anObservationOutlivingItsStoreStopsHarmlessly)
{
    auto own = std::make_shared<SettingsStore>(dir / "own.json");
    int heard = 0;
    auto observation = UserDefaultsKeyObservation::create(own, "k", [&](const BaseChange &) { ++heard; });
    observation->start({});
    ASSERT_TRUE(own->setObject("k", PlistValue(1)));
    EXPECT_EQ(heard, 1);
    own.reset();
    EXPECT_EQ(observation->suite(), nullptr);
    observation->stop();
    observation->stop();
}

TEST_F(KeyObservationTest, anObservationTiedToAnOwnerLivesAndEndsWithIt)
{
    std::optional<Associable> owner(std::in_place);
    std::weak_ptr<PrefsObservation> alive;
    {
        auto observation = observeNumber({});
        alive = observation;
        EXPECT_EQ(observation->tieToOwner(*owner), observation);
        EXPECT_TRUE(observation->isTied());
    }
    ASSERT_FALSE(alive.expired()) << "the owner keeps it";
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(changes.size(), 1u);

    owner.reset();
    EXPECT_TRUE(alive.expired());
    EXPECT_EQ(store->observerCount("number"), 0u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(KeyObservationTest, tyingToAnotherOwnerMovesTheTieWithoutStopping)
{
    std::optional<Associable> first(std::in_place);
    std::optional<Associable> second(std::in_place);
    std::weak_ptr<PrefsObservation> alive;
    {
        auto observation = observeNumber({});
        alive = observation;
        observation->tieToOwner(*first);
        observation->tieToOwner(*second);
    }
    ASSERT_FALSE(alive.expired());
    EXPECT_EQ(first->lifetimeTrackers()->size(), 0u);
    EXPECT_EQ(second->lifetimeTrackers()->size(), 1u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(changes.size(), 1u) << "moving the tie must not stop the observation";

    first.reset();
    ASSERT_TRUE(Prefs::set(number, std::int64_t{2}));
    EXPECT_EQ(changes.size(), 2u);
    second.reset();
    EXPECT_TRUE(alive.expired());
    EXPECT_EQ(store->observerCount("number"), 0u);
}

TEST_F(KeyObservationTest, untyingLeavesTheObservationToWhoeverHoldsIt)
{
    Associable owner;
    auto observation = observeNumber({});
    observation->tieToOwner(owner);
    observation->untieFromOwner();
    observation->untieFromOwner();
    EXPECT_FALSE(observation->isTied());
    EXPECT_EQ(owner.lifetimeTrackers()->size(), 0u);
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(changes.size(), 1u);

    // Stopping cancels a tie too.
    Associable other;
    observation->tieToOwner(other);
    observation->stop();
    EXPECT_EQ(other.lifetimeTrackers()->size(), 0u);
}

TEST_F(KeyObservationTest, observationsTiedAndUntiedFromManyThreadsAllEndWithTheirOwner)
{
    constexpr int threads = 8;
    constexpr int perThread = 25;
    std::optional<Associable> owner(std::in_place);
    std::atomic<int> heard{0};
    std::vector<std::shared_ptr<PrefsObservation>> untied[threads];
    faciward::testing::runTogether(threads, [&](int t) {
        for (int i = 0; i < perThread; ++i) {
            auto observation = Prefs::observe(number, {}, [&](const Change &) { ++heard; });
            observation->tieToOwner(*owner);
            if (i % 5 == 0) {
                observation->untieFromOwner();
                untied[t].push_back(observation);
            }
        }
    });
    const int tied = threads * (perThread - perThread / 5);
    EXPECT_EQ(owner->lifetimeTrackers()->size(), static_cast<std::size_t>(tied));
    EXPECT_EQ(store->observerCount("number"), static_cast<std::size_t>(threads * perThread));

    owner.reset();
    EXPECT_EQ(store->observerCount("number"), static_cast<std::size_t>(threads * perThread / 5));
    ASSERT_TRUE(Prefs::set(number, std::int64_t{1}));
    EXPECT_EQ(heard.load(), threads * perThread / 5);
}

} // namespace
} // namespace faciward::prefs
