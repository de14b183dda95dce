#include "SettingsStore/LifetimeTrackerList.h"
#include "SettingsStore/Prefs.h"
#include "SettingsStore/Qt/Observable.h"
#include "SettingsStore/Qt/Pref.h"
#include "SettingsStore/Qt/QObjectLifetime.h"
#include "tests/support/WidgetApplication.h"
#include "tests/support/Guards.h"
#include "tests/support/RunTogether.h"

#include <QApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace faciward::prefs {
namespace {

using faciward::testing::spinUntil;
using faciward::testing::widgetApplication;
using platform::SettingsStore;

bool onMainThread()
{
    return QThread::currentThread() == widgetApplication().thread();
}

// What an observable object signalled, and what the key held at each signal.
struct SignalLog
{
    std::vector<std::string> names;
    std::vector<std::int64_t> values;
    std::vector<bool> onMain;

    template<class O>
    void watch(O &observable)
    {
        QObject::connect(&observable, &ObservableBase::willChange, &observable, [this, &observable] {
            add("willChange", observable.value());
        });
        QObject::connect(&observable, &ObservableBase::changed, &observable, [this, &observable] {
            add("changed", observable.value());
        });
    }
    void add(const std::string &signal, std::int64_t value)
    {
        names.push_back(signal);
        values.push_back(value);
        onMain.push_back(onMainThread());
    }
    std::size_t count(const std::string &signal) const
    {
        return static_cast<std::size_t>(std::count(names.begin(), names.end(), signal));
    }
};

class ObservableTest : public ::testing::Test
{
protected:
    void SetUp() override { widgetApplication(); }

    faciward::testing::TempDir dir{"faciward-observable"};
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(dir / "settings.json");
    const Key<std::int64_t> number{"number", 6, store};
    SignalLog log;
};

TEST_F(ObservableTest, writingThroughTheBindingSignalsTwiceBeforeAndOnceAfter)
{
    Pref<std::int64_t> pref(number);
    log.watch(pref.observable());
    const auto binding = pref.binding();
    ASSERT_TRUE(binding.set(9));
    // Before the write: once from the setter, once from the store's prior notice.
    EXPECT_EQ(log.names, (std::vector<std::string>{"willChange", "willChange", "changed"}));
    EXPECT_EQ(log.values, (std::vector<std::int64_t>{6, 6, 9}));
    EXPECT_EQ(binding.get(), 9);
    EXPECT_EQ(pref.value(), 9);
    EXPECT_EQ(store->object("number"), platform::PlistValue(9));
    EXPECT_FALSE(pref.isDefaultValue());
    ASSERT_TRUE(pref.reset());
    EXPECT_TRUE(pref.isDefaultValue());
    EXPECT_EQ(log.names.size(), 5u);
    EXPECT_FALSE(SettingsStore(dir / "settings.json").object("number")) << "the entry is gone from the file";
}

TEST_F(ObservableTest, manyBackgroundWritersAreAllHeardOnTheMainThread)
{
    constexpr int writers = 4;
    constexpr int writes = 20;
    Observable<std::int64_t> observable(number);
    log.watch(observable);
    faciward::testing::runTogether(writers, [&](int w) {
        for (int i = 0; i < writes; ++i)
            EXPECT_TRUE(Prefs::set(number, std::int64_t{w * 100 + i}));
    });
    EXPECT_TRUE(log.names.empty()) << "nothing is signalled on the writing threads";
    ASSERT_TRUE(spinUntil([&] { return log.count("changed") == writers * writes; }));
    EXPECT_EQ(log.count("willChange"), static_cast<std::size_t>(writers * writes));
    EXPECT_EQ(log.values.back(), Prefs::get(number)) << "when changed() arrives the new value is in place";
    EXPECT_TRUE(std::all_of(log.onMain.begin(), log.onMain.end(), [](bool b) { return b; }));
}

TEST_F(ObservableTest, aSignalOnItsWayNeverReachesADestroyedObject)
{
    auto *observable = new Observable<std::int64_t>(number);
    int heard = 0;
    QObject::connect(observable, &ObservableBase::changed, observable, [&] { ++heard; });
    std::atomic<bool> marker{false};
    std::thread([&] {
        EXPECT_TRUE(Prefs::set(number, std::int64_t{1}));
        // Queued behind the object's own signals.
        QMetaObject::invokeMethod(&widgetApplication(), [&] { marker = true; }, Qt::QueuedConnection);
    }).join();
    delete observable;
    ASSERT_TRUE(spinUntil([&] { return marker.load(); }));
    EXPECT_EQ(heard, 0);
    EXPECT_EQ(store->observerCount("number"), 0u);
}

TEST_F(ObservableTest, observationsTiedToOneQObjectFromManyThreadsShareItsList)
{
    constexpr int threads = 6;
    constexpr int perThread = 20;
    auto *owner = new QObject;
    std::vector<std::shared_ptr<LifetimeTrackerList>> lists(threads);
    faciward::testing::runTogether(threads, [&](int t) {
        for (int i = 0; i < perThread; ++i) {
            lists[t] = QObjectLifetime::trackersOf(owner);
            Prefs::observe(number, {}, [](const KeyChange<std::int64_t> &) {})->tieToOwner(lists[t]);
        }
    });
    for (const auto &list : lists)
        EXPECT_EQ(list, lists.front());
    EXPECT_EQ(lists.front()->size(), static_cast<std::size_t>(threads * perThread));
    EXPECT_EQ(store->observerCount("number"), static_cast<std::size_t>(threads * perThread));
    delete owner;
    EXPECT_EQ(store->observerCount("number"), 0u);
    EXPECT_TRUE(lists.front()->isReleased());
}

// A handle's publisher: first the value in force (the default as its old value),
// then every change, on the writing thread, until cancelled.
TEST_F(ObservableTest, aPrefPublisherStartsWithTheCurrentValueThenGivesEveryChange)
{
    using Change = KeyChange<std::int64_t>;
    const auto record = [](std::int64_t newValue, std::int64_t oldValue) {
        return Change{BaseChange::setting, std::nullopt, false, newValue, oldValue};
    };
    const struct
    {
        const char *what;
        std::optional<std::int64_t> stored;
        std::vector<Change> expected; // at subscription, then for 11 written, then for the reset
    } cases[] = {
        {"nothing stored", std::nullopt, {record(6, 6), record(11, 6), record(6, 11)}},
        {"a value stored", 9, {record(9, 6), record(11, 9), record(6, 11)}},
        {"the default stored", 6, {record(6, 6), record(11, 6), record(6, 11)}},
    };
    Pref<std::int64_t> pref(number);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(pref.reset());
        if (c.stored) {
            ASSERT_TRUE(pref.setValue(*c.stored));
        }
        std::vector<Change> records;
        auto subscription = pref.publisher().sink([&records](const Change &change) { records.push_back(change); });
        EXPECT_EQ(store->observerCount("number"), 2u) << "the handle's own observation, and this one";
        std::thread([&] { EXPECT_TRUE(Prefs::set(number, std::int64_t{11})); }).join();
        ASSERT_TRUE(pref.reset());
        subscription.cancel();
        ASSERT_TRUE(pref.setValue(12));
        EXPECT_EQ(records, c.expected);
        EXPECT_EQ(store->observerCount("number"), 1u);
    }
}

} // namespace
} // namespace faciward::prefs
