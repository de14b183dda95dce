#include "Faciward/Presence/Locking/LocalCalendar.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

using faciward::presence::LocalCalendar;
using faciward::testing::EnvGuard;
using namespace std::chrono;

namespace {

// Central European time with its daylight-saving rule, written out so that no
// time-zone database is needed.
constexpr const char *centralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

system_clock::time_point utc(int y, unsigned m, unsigned d, int hh, int mm, int ss = 0)
{
    return sys_days{year{y} / m / d} + hours(hh) + minutes(mm) + seconds(ss);
}

} // namespace

TEST(LocalCalendar, daysChangeAtLocalMidnight)
{
    EnvGuard tz("TZ", centralEurope);
    // 23:59:59 and 00:00:01 local time on 2 and 3 March (UTC+1).
    const auto before = utc(2026, 3, 2, 22, 59, 59);
    const auto after = utc(2026, 3, 2, 23, 0, 1);
    EXPECT_EQ(LocalCalendar::dayNumber(after) - LocalCalendar::dayNumber(before), 1);
    EXPECT_EQ(LocalCalendar::dayNumber(before), (sys_days{2026y / 3 / 2}.time_since_epoch().count()));
    // In UTC both moments lie on 2 March.
    EnvGuard utcZone("TZ", "UTC0");
    EXPECT_EQ(LocalCalendar::dayNumber(after), LocalCalendar::dayNumber(before));
}

TEST(LocalCalendar, aDaylightSavingDayIsOneDayLong)
{
    EnvGuard tz("TZ", centralEurope);
    // 29 March 2026 has 23 hours: 00:10 CET is 23:10 UTC the day before, 23:50 CEST is 21:50 UTC.
    const auto start = utc(2026, 3, 28, 23, 10);
    const auto end = utc(2026, 3, 29, 21, 50);
    EXPECT_EQ(LocalCalendar::dayNumber(start), LocalCalendar::dayNumber(end));
    EXPECT_EQ(LocalCalendar::dayNumber(end + minutes(20)) - LocalCalendar::dayNumber(end), 1);
    EXPECT_EQ(LocalCalendar::format(end, "%Y-%m-%d %H.%M"), "2026-03-29 23.50");
}

TEST(LocalCalendar, formatsInLocalTime)
{
    EnvGuard tz("TZ", centralEurope);
    EXPECT_EQ(LocalCalendar::format(utc(2026, 3, 2, 9, 0, 5) + milliseconds(900), "%Y-%m-%d %H.%M.%S"),
              "2026-03-02 10.00.05");
}
