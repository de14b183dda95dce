#include "Platform/Settings/SettingsFile.h"
#include "Platform/Settings/SettingsStore.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

namespace faciward::platform {
namespace {

using testing::TempDir;

constexpr KeyValueObservingOptions newAndOld = observingNew | observingOld;

// A record with its values copied out, for comparing.
struct Record
{
    std::uint64_t kind;
    bool isPrior;
    std::optional<PlistValue> newValue;
    std::optional<PlistValue> oldValue;
    bool operator==(const Record &) const = default;
};

std::optional<PlistValue> copy(const std::shared_ptr<const PlistValue> &value)
{
    return value ? std::optional<PlistValue>(*value) : std::nullopt;
}

Record recordOf(const KeyValueChange &change)
{
    return {change.kind, change.isPrior, copy(change.newValue), copy(change.oldValue)};
}

Record after(std::optional<PlistValue> newValue, std::optional<PlistValue> oldValue)
{
    return {KeyValueChange::setting, false, std::move(newValue), std::move(oldValue)};
}

Record prior(std::optional<PlistValue> oldValue)
{
    return {KeyValueChange::setting, true, std::nullopt, std::move(oldValue)};
}

class SettingsStoreObserversTest : public ::testing::Test
{
protected:
    TempDir dir{"faciward-observers"};
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(dir / "settings.json");
    std::vector<Record> records;

    SettingsStore::ObserverToken observe(const std::string &key, KeyValueObservingOptions options)
    {
        return store->addObserver(key, options, [this](const KeyValueChange &change) {
            records.push_back(recordOf(change));
        });
    }
};

TEST_F(SettingsStoreObserversTest, thePriorRecordGoesOutBeforeTheWriteIsMade)
{
    ASSERT_TRUE(store->setObject("n", PlistValue(1)));
    std::vector<std::optional<PlistValue>> seenInPrior;
    const auto token = store->addObserver("n", newAndOld | observingPrior, [&](const KeyValueChange &change) {
        records.push_back(recordOf(change));
        if (change.isPrior)
            seenInPrior.push_back(store->object("n"));
    });
    ASSERT_TRUE(store->setObject("n", PlistValue(2)));
    EXPECT_EQ(records, (std::vector<Record>{prior(PlistValue(1)), after(PlistValue(2), PlistValue(1))}));
    EXPECT_EQ(seenInPrior, (std::vector<std::optional<PlistValue>>{PlistValue(1)}));
    store->removeObserver(token);
}

TEST_F(SettingsStoreObserversTest, anObserverMayWriteAndUnregisterFromItsCallback)
{
    SettingsStore::ObserverToken token = 0;
    token = store->addObserver("a", newAndOld | observingPrior, [&](const KeyValueChange &change) {
        if (change.isPrior) {
            EXPECT_TRUE(store->setObject("seenPrior", PlistValue(true)));
            return;
        }
        EXPECT_TRUE(store->setObject("b", PlistValue(2)));
        store->removeObserver(token);
    });
    ASSERT_TRUE(store->setObject("a", PlistValue(1)));
    EXPECT_EQ(store->object("b"), PlistValue(2));
    EXPECT_EQ(store->object("seenPrior"), PlistValue(true));
    EXPECT_EQ(store->observerCount("a"), 0u);
}

TEST_F(SettingsStoreObserversTest, changesOfAnotherWriterOfTheFileAreReportedByReload)
{
    ASSERT_TRUE(store->setObject("a", PlistValue(1)));
    ASSERT_TRUE(store->setObject("gone", PlistValue(5)));
    observe("a", newAndOld | observingPrior);
    observe("gone", newAndOld);
    observe("fresh", newAndOld);
    {
        SettingsStore other(dir / "settings.json");
        ASSERT_TRUE(other.setObject("a", PlistValue(2)));
        ASSERT_TRUE(other.removeObject("gone"));
        ASSERT_TRUE(other.setObject("fresh", PlistValue("x")));
    }
    EXPECT_TRUE(records.empty());
    ASSERT_TRUE(store->reload());
    // The keys this store had, in name order, then the new ones.
    EXPECT_EQ(records, (std::vector<Record>{prior(PlistValue(1)), after(PlistValue(2), PlistValue(1)),
                                            after(std::nullopt, PlistValue(5)),
                                            after(PlistValue("x"), std::nullopt)}));
    records.clear();
    ASSERT_TRUE(store->reload());
    EXPECT_TRUE(records.empty());
}

TEST_F(SettingsStoreObserversTest, aWriteThatCannotBeSavedIsAnnouncedButNotReported)
{
    testing::ExpectStderr expected("could not be saved");
    ASSERT_TRUE(store->setObject("n", PlistValue(1)));
    observe("n", newAndOld | observingPrior);
    store->setWriteInterruption([](SettingsFile::WriteStep) { return true; });
    const bool saved = store->setObject("n", PlistValue(2));
    store->setWriteInterruption({});
    EXPECT_FALSE(saved);
    EXPECT_EQ(records, (std::vector<Record>{prior(PlistValue(1))}));
    EXPECT_EQ(store->object("n"), PlistValue(1));
}

TEST_F(SettingsStoreObserversTest, registeringAndWritingFromManyThreadsLosesNoRecord)
{
    constexpr int threads = 4;
    constexpr int writes = 50;
    std::atomic<int> heard{0};
    const auto token = store->addObserver("n", newAndOld, [&](const KeyValueChange &) { ++heard; });
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < writes; ++i) {
                // Observers come and go beside the writes.
                const auto own = store->addObserver("n", newAndOld, [](const KeyValueChange &) {});
                EXPECT_TRUE(store->setObject("n", PlistValue(t * writes + i)));
                EXPECT_TRUE(store->removeObserver(own));
            }
        });
    for (auto &worker : workers)
        worker.join();
    EXPECT_EQ(heard.load(), threads * writes);
    EXPECT_EQ(store->observerCount("n"), 1u);
    store->removeObserver(token);
}

} // namespace
} // namespace faciward::platform
