#include "Platform/Settings/SettingsStore.h"
#include "tests/support/Guards.h"
#include "tests/support/RunTogether.h"

#include <gtest/gtest.h>

#include <barrier>
#include <thread>

namespace faciward::platform {
namespace {

using testing::TempDir;

std::int64_t counterOf(const std::optional<PlistValue> &value)
{
    return value ? *value->getIf<std::int64_t>() : 0;
}

TEST(SettingsStoreThreads, eightThreadsOfUpdatesLoseNothing)
{
    TempDir dir("faciward-threads");
    auto store = std::make_shared<SettingsStore>(dir / "settings.json");
    constexpr int threads = 8;
    constexpr int updates = 150; // each one replaces the file on disk: enough to interleave, quick enough to run
    std::atomic<int> failures{0};
    faciward::testing::runTogether(threads, [&](int) {
        for (int i = 0; i < updates; ++i) {
            const bool ok = store->update("counter", [](std::optional<PlistValue> current) {
                return PlistValue(counterOf(current) + 1);
            });
            if (!ok)
                ++failures;
        }
    });
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(counterOf(store->object("counter")), threads * updates);
    store.reset();
    EXPECT_EQ(counterOf(SettingsStore(dir / "settings.json").object("counter")), threads * updates);
}

TEST(SettingsStoreThreads, readersNeverSeeAHalfMadeValueWhileWritersWrite)
{
    TempDir dir("faciward-threads");
    auto store = std::make_shared<SettingsStore>(dir / "settings.json");
    store->registerDefaults({{"list", PlistValue(PlistArray{})}});
    constexpr int writers = 4;
    constexpr int rounds = 100;
    std::barrier start(writers + 2);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            start.arrive_and_wait();
            for (int i = 0; i < rounds; ++i) {
                // Each writer's own key, and the shared list: all values stay self-consistent.
                store->setObject("writer" + std::to_string(w), PlistValue(PlistArray(8, PlistValue(i))));
                store->update("list", [&](std::optional<PlistValue> current) {
                    const PlistArray *stored = current ? current->getIf<PlistArray>() : nullptr;
                    PlistArray list = stored ? *stored : PlistArray{};
                    list.push_back(PlistValue(w * rounds + i));
                    return PlistValue(std::move(list));
                });
            }
        });
    }
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            start.arrive_and_wait();
            while (!done.load()) {
                for (int w = 0; w < writers; ++w) {
                    const auto value = store->objectSnapshot("writer" + std::to_string(w));
                    if (!value)
                        continue;
                    const auto &array = *value->getIf<PlistArray>();
                    for (const auto &element : array)
                        torn += element == array.front() ? 0 : 1;
                }
                store->dictionaryRepresentation();
            }
        });
    }
    for (int w = 0; w < writers; ++w)
        threads[w].join();
    done = true;
    for (std::size_t t = writers; t < threads.size(); ++t)
        threads[t].join();
    EXPECT_EQ(torn.load(), 0);

    // Reloaded from the file: every writer's last value and every append are there.
    store.reset();
    SettingsStore reloaded(dir / "settings.json");
    for (int w = 0; w < writers; ++w)
        EXPECT_EQ(reloaded.object("writer" + std::to_string(w)), PlistValue(PlistArray(8, PlistValue(rounds - 1))));
    const auto list = reloaded.object("list");
    ASSERT_TRUE(list);
    std::vector<std::int64_t> appended;
    for (const auto &element : *list->getIf<PlistArray>())
        appended.push_back(*element.getIf<std::int64_t>());
    std::sort(appended.begin(), appended.end());
    ASSERT_EQ(appended.size(), static_cast<std::size_t>(writers * rounds));
    for (int i = 0; i < writers * rounds; ++i)
        EXPECT_EQ(appended[i], i);
}

TEST(SettingsStoreThreads, twoStoresOnOneFileSerialiseThroughTheLockFile)
{
    // Two instances on one file stand for two processes: only the lock file and
    // the merge keep their updates of one counter apart.
    TempDir dir("faciward-threads");
    auto first = std::make_shared<SettingsStore>(dir / "settings.json");
    auto second = std::make_shared<SettingsStore>(dir / "settings.json");
    constexpr int updates = 200;
    std::barrier start(2);
    auto work = [&](SettingsStore &store) {
        start.arrive_and_wait();
        for (int i = 0; i < updates; ++i)
            store.update("counter", [](std::optional<PlistValue> current) { return PlistValue(counterOf(current) + 1); });
    };
    std::thread a([&] { work(*first); });
    std::thread b([&] { work(*second); });
    a.join();
    b.join();
    EXPECT_EQ(counterOf(SettingsStore(dir / "settings.json").object("counter")), 2 * updates);
}

} // namespace
} // namespace faciward::platform
