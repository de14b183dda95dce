#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "Platform/ScreenLock/DBusScreenLockSignals.h"
#include "tests/support/FakeScreenLockSignals.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtEventLoop.h"

#include <gtest/gtest.h>

using faciward::presence::ScreenLockingStatusManager;
using faciward::platform::Void;
using faciward::testing::FakeScreenLockSignals;

namespace {

struct Recorder
{
    explicit Recorder(const ScreenLockingStatusManager &watcher)
        : locked(watcher.screenLockedSubject().sink([this](const Void &) { events.push_back("locked"); }))
        , unlocked(watcher.screenUnlockedSubject().sink([this](const Void &) { events.push_back("unlocked"); }))
    {
    }
    std::vector<std::string> events;
    faciward::platform::AnyCancellable locked;
    faciward::platform::AnyCancellable unlocked;
};

} // namespace

TEST(ScreenLockingStatusManager, sendsOnlyOnRealChanges)
{
    FakeScreenLockSignals signals;
    ScreenLockingStatusManager watcher(signals);
    Recorder recorder(watcher);
    signals.unlock(); // the screen is unlocked when the watcher starts: nothing changes
    signals.lock();
    signals.lock();   // the same lock announced by a second interface
    signals.unlock();
    signals.unlock();
    signals.lock();
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"locked", "unlocked", "locked"}));
}

TEST(ScreenLockingStatusManager, aReportBeforeTheWatcherExistsIsNotSeen)
{
    FakeScreenLockSignals signals;
    signals.lock();
    ScreenLockingStatusManager watcher(signals);
    Recorder recorder(watcher);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(signals.subscriberCount(), 1u);
}

TEST(ScreenLockingStatusManager, onAPrivateSessionBusDbusSendReachesBothSubjectsAndRepeatsSendNothing)
{
    FACIWARD_REQUIRE_PROGRAM("dbus-daemon");
    FACIWARD_REQUIRE_PROGRAM("dbus-send");
    faciward::testing::coreApplication();
    faciward::testing::PrivateSessionBus bus;
    faciward::platform::DBusScreenLockSignals signals(bus.address());
    ScreenLockingStatusManager watcher(signals);
    Recorder recorder(watcher);
    std::vector<bool> raw;
    auto rawSubscription = signals.activeChanged().sink([&](const bool &v) { raw.push_back(v); });

    auto send = [&](const std::string &path, const std::string &interface, bool active) {
        return bus.sendSignal(path, interface + ".ActiveChanged", {active ? "boolean:true" : "boolean:false"});
    };
    ASSERT_EQ(send("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", true), 0);
    ASSERT_EQ(send("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", true), 0);
    ASSERT_EQ(send("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", false), 0);
    ASSERT_EQ(send("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", false), 0);
    ASSERT_TRUE(faciward::testing::processEventsUntil([&] { return raw.size() >= 4; }));
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"locked", "unlocked"}));
}
