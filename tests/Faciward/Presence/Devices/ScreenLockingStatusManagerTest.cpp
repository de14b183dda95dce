#include "Faciward/Presence/Devices/ScreenLockingStatusManager.h"
#include "tests/support/FakeScreenLockSignals.h"

#include <gtest/gtest.h>

using faciward::presence::ScreenLockingStatusManager;
using faciward::testing::FakeScreenLockSignals;

TEST(ScreenLockingStatusManager, startsInTheStateAskedAndPassesOnEachChangeOnce)
{
    struct Case
    {
        const char *what;
        std::optional<bool> initial;
        std::vector<bool> reports;  // true: locked
        std::string signals;        // L: locked sent, U: unlocked sent
        bool lockedAtStart, lockedAtEnd;
    };
    for (const auto &c : {
             Case{"unknown: an unlock is passed on", std::nullopt, {false, false, true, true, false}, "ULU", false, false},
             Case{"unknown: a lock is passed on", std::nullopt, {true, false}, "LU", false, false},
             Case{"locked at start: the unlock is not lost", true, {true, false, false}, "U", true, false},
             Case{"unlocked at start", false, {false, true, true}, "L", false, true},
         }) {
        SCOPED_TRACE(c.what);
        FakeScreenLockSignals reports;
        reports.initial = c.initial;
        const ScreenLockingStatusManager watcher(reports);
        std::string sent;
        auto l = watcher.screenLockedSubject().sink([&](faciward::platform::Void) { sent += 'L'; });
        auto u = watcher.screenUnlockedSubject().sink([&](faciward::platform::Void) { sent += 'U'; });
        EXPECT_EQ(watcher.isScreenLocked(), c.lockedAtStart);
        for (bool locked : c.reports)
            reports.sendActiveChanged(locked);
        EXPECT_EQ(sent, c.signals);
        EXPECT_EQ(watcher.isScreenLocked(), c.lockedAtEnd);
    }
}
