#include "Platform/Runtime/QtScheduler.h"
#include "Platform/Settings/SettingsFileWatcher.h"
#include "Platform/Settings/SettingsStore.h"
#include "tests/support/Guards.h"
#include "tests/support/QtEventLoop.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace faciward::platform {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

QCoreApplication &application()
{
    return testing::coreApplication();
}

// The real-time limit only turns a hang into a failure.
bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 20s)
{
    return testing::processEventsUntil(done, limit);
}

struct Heard
{
    std::string key;
    std::optional<PlistValue> newValue;
    std::optional<PlistValue> oldValue;
    bool onLoopThread;
    bool operator==(const Heard &) const = default;
};

class SettingsFileWatcherTest : public ::testing::Test
{
protected:
    void SetUp() override { application(); }

    void listen(SettingsStore &target, const std::string &key)
    {
        (void)target.addObserver(key, observingNew | observingOld, [this, key](const KeyValueChange &change) {
            heard.push_back({key, change.newValue ? std::optional<PlistValue>(*change.newValue) : std::nullopt,
                             change.oldValue ? std::optional<PlistValue>(*change.oldValue) : std::nullopt,
                             QThread::currentThread() == application().thread()});
        });
    }

    std::size_t heardOf(const std::string &key) const
    {
        return static_cast<std::size_t>(
            std::count_if(heard.begin(), heard.end(), [&](const Heard &h) { return h.key == key; }));
    }

    TempDir dir{"faciward-watch"};
    platform::QtScheduler scheduler;
    std::vector<Heard> heard;
};

TEST_F(SettingsFileWatcherTest, keepsWatchingAcrossReplacementsAndIgnoresItsOwnWrites)
{
    const auto file = dir / "settings.json";
    auto store = std::make_shared<SettingsStore>(file);
    ASSERT_TRUE(store->setObject("a", PlistValue(0)));
    listen(*store, "a");
    listen(*store, "mine");
    SettingsFileWatcher watcher(store, scheduler);

    SettingsStore other(file);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(other.setObject("a", PlistValue(i)));
        ASSERT_TRUE(spinUntil([&] { return heardOf("a") == static_cast<std::size_t>(i); })) << "write " << i;
        EXPECT_EQ(heard.back(), (Heard{"a", PlistValue(i), PlistValue(i - 1), true})) << "on the loop thread";
    }
    ASSERT_TRUE(store->setObject("mine", PlistValue(true)));
    EXPECT_EQ(heardOf("mine"), 1u);
    // A later outside write is taken in after whatever our own write stirred up.
    ASSERT_TRUE(other.setObject("a", PlistValue(4)));
    ASSERT_TRUE(spinUntil([&] { return heardOf("a") == 4; }));
    EXPECT_EQ(heardOf("mine"), 1u);
    EXPECT_EQ(heard.back(), (Heard{"a", PlistValue(4), PlistValue(3), true}));
}

TEST_F(SettingsFileWatcherTest, followsAFileWhoseNameIsNotText)
{
    // Latin-1 names, as an older system's home folder may have: not UTF-8.
    const auto file = dir / "r\xe9glages" / "settings\xff.json";
    auto store = std::make_shared<SettingsStore>(file);
    ASSERT_TRUE(store->setObject("a", PlistValue(0)));
    listen(*store, "a");
    SettingsFileWatcher watcher(store, scheduler);
    ASSERT_TRUE(SettingsStore(file).setObject("a", PlistValue(1)));
    ASSERT_TRUE(spinUntil([&] { return heardOf("a") == 1; }));
    EXPECT_EQ(heard.back(), (Heard{"a", PlistValue(1), PlistValue(0), true}));
}

} // namespace
} // namespace faciward::platform
