#include "Platform/ScreenLock/DBusScreenLockSignals.h"
#include "tests/support/FakeScreenSaver.h"
#include "tests/support/Guards.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtEventLoop.h"

#include <gtest/gtest.h>

using faciward::platform::DBusScreenLockSignals;
using faciward::testing::ExpectStderr;
using faciward::testing::FakeScreenSaver;
using faciward::testing::PrivateSessionBus;
using faciward::testing::processEventsUntil;

class DBusScreenLockSignalsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FACIWARD_REQUIRE_PROGRAM("dbus-daemon");
        FACIWARD_REQUIRE_PROGRAM("dbus-send");
        faciward::testing::coreApplication();
        bus = std::make_unique<PrivateSessionBus>();
        signals = std::make_unique<DBusScreenLockSignals>(bus->address());
        subscription = signals->activeChanged().sink([this](const bool &active) { received.push_back(active); });
    }

    int send(const std::string &path, const std::string &interface, bool active)
    {
        return bus->sendSignal(path, interface + ".ActiveChanged", {active ? "boolean:true" : "boolean:false"});
    }

    std::unique_ptr<PrivateSessionBus> bus;
    std::unique_ptr<DBusScreenLockSignals> signals;
    faciward::platform::AnyCancellable subscription;
    std::vector<bool> received;
};

TEST_F(DBusScreenLockSignalsTest, gnomeAndFreedesktopReportsArriveInOrderRepeatsIncluded)
{
    ASSERT_TRUE(signals->isListening());
    ASSERT_EQ(send("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", true), 0);
    ASSERT_EQ(send("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", true), 0);
    ASSERT_EQ(send("/ScreenSaver", "org.freedesktop.ScreenSaver", false), 0); // KDE's path
    ASSERT_TRUE(processEventsUntil([&] { return received.size() >= 3; }));
    EXPECT_EQ(received, (std::vector<bool>{true, true, false}));
}

TEST_F(DBusScreenLockSignalsTest, otherSignalsAreNotTakenForScreenLocks)
{
    ASSERT_EQ(bus->sendSignal("/org/gnome/ScreenSaver", "org.example.Other.ActiveChanged", {"boolean:true"}), 0);
    ASSERT_EQ(bus->sendSignal("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver.WakeUpScreen", {}), 0);
    // Sent after the others, from a later sender: once it is in, the others would be too.
    ASSERT_EQ(send("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", false), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, (std::vector<bool>{false}));
}

TEST(DBusScreenLockSignals, withoutABusItIsInertAndSaysSoInOneLine)
{
    faciward::testing::coreApplication();
    ExpectStderr guard("^faciward: screen lock: no session bus.*; screen lock and unlock will not be seen$");
    DBusScreenLockSignals signals(std::string("unix:path=/nonexistent/faciward-bus"));
    EXPECT_FALSE(signals.isListening());
    bool received = false;
    auto subscription = signals.activeChanged().sink([&](const bool &) { received = true; });
    EXPECT_FALSE(received);
    EXPECT_EQ(guard.matched(), 1);
}

TEST(DBusScreenLockSignals, theStateAtStartIsAskedOfEveryScreenSaver)
{
    FACIWARD_REQUIRE_PROGRAM("dbus-daemon");
    faciward::testing::coreApplication();
    struct Saver
    {
        const char *interface;
        bool active;
    };
    struct Case
    {
        const char *what;
        std::vector<Saver> savers;
        std::optional<bool> state;
    };
    const char *gnome = "org.gnome.ScreenSaver";
    const char *freedesktop = "org.freedesktop.ScreenSaver";
    for (const auto &c : {Case{"none there", {}, std::nullopt},
                          Case{"GNOME, locked", {{gnome, true}}, true},
                          Case{"freedesktop, unlocked", {{freedesktop, false}}, false},
                          Case{"one of two locked", {{freedesktop, false}, {gnome, true}}, true},
                          Case{"both unlocked", {{freedesktop, false}, {gnome, false}}, false}}) {
        SCOPED_TRACE(c.what);
        PrivateSessionBus bus;
        std::vector<std::unique_ptr<FakeScreenSaver>> savers;
        for (const auto &s : c.savers)
            savers.push_back(std::make_unique<FakeScreenSaver>(bus.address(), s.interface, s.active));
        const DBusScreenLockSignals signals(bus.address());
        EXPECT_TRUE(signals.isListening());
        EXPECT_EQ(signals.initialActive(), c.state);
    }
}
