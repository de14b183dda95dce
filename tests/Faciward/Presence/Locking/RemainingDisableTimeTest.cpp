#include "Faciward/Presence/Locking/LocalCalendar.h"
#include "Faciward/Presence/Locking/RemainingDisableTime.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <limits>

using faciward::presence::LocalCalendar;
using faciward::presence::RemainingDisableTime;
using faciward::settings::DisableTime;
using faciward::testing::EnvGuard;
using namespace std::chrono;
using Kind = RemainingDisableTime::Kind;

namespace {

// Central European time with its daylight-saving rule, written out so that no
// time-zone database is needed.
constexpr const char *centralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// Local (UTC+1 in March before the 29th) wall time.
system_clock::time_point local(unsigned d, int hh, int mm, int ss = 0, int month = 3)
{
    return sys_days{year{2026} / month / d} + hours(hh - 1) + minutes(mm) + seconds(ss);
}

DisableTime period(system_clock::time_point start, std::optional<std::int64_t> minutes,
                   DisableTime::State state = DisableTime::State::time)
{
    DisableTime t;
    t.startDate = start;
    t.duration = minutes;
    t.state = state;
    return t;
}

DisableTime untilTomorrow(system_clock::time_point start)
{
    return period(start, std::nullopt, DisableTime::State::untilTomorrow);
}

} // namespace

TEST(RemainingDisableTime, countsWholeSecondsAndEndsOnTheNextLocalDay)
{
    EnvGuard tz{"TZ", centralEurope};
    const auto now = local(2, 10, 0);
    const RemainingDisableTime over{Kind::noPeriod, 0}, inForce{Kind::inForce, 0};
    const auto remain = [](std::uint64_t n) { return RemainingDisableTime{Kind::secondsRemain, n}; };
    const auto max = std::numeric_limits<std::int64_t>::max();
    // 29 March 2026 is 23 hours long in central Europe; the day is what counts.
    const auto dstStart = sys_days{2026y / 3 / 28} + hours(23) + minutes(10);   // 00:10 CET on the 29th
    const auto dstLate = sys_days{2026y / 3 / 29} + hours(21) + minutes(50);    // 23:50 CEST
    struct Case
    {
        std::optional<DisableTime> stored;
        system_clock::time_point at;
        RemainingDisableTime expected;
    };
    const Case cases[] = {
        {std::nullopt, now, over},
        {period(now - minutes(4), 10), now, remain(360)},
        {period(now - minutes(4) - milliseconds(700), 10), now, remain(359)}, // truncated
        {period(now - minutes(9) - milliseconds(59500), 10), now, remain(0)}, // ends at once
        {period(now - minutes(10), 10), now, over},
        {period(now, std::nullopt), now, over},
        {period(now, 0), now, over},
        {period(now, -5), now, over},
        {period(now + hours(24 * 365), 10), now, remain(600)}, // a clock set back never lengthens it
        {period(now, max), now, remain(std::numeric_limits<std::uint64_t>::max())}, // no overflow
        {period(now, 1'000'000), now, remain(60'000'000)},
        {untilTomorrow(local(2, 0, 0)), local(2, 23, 59, 59), inForce},
        {untilTomorrow(local(1, 23, 59)), local(2, 0, 0, 1), over},
        {untilTomorrow(local(28, 9, 0, 0, 2)), now, over}, // days ago: not in force for ever
        {untilTomorrow(now - hours(24 * 40)), now, over},
        {untilTomorrow(local(3, 9, 0)), now, over}, // a later day (clock set back): not till the day after it
        {untilTomorrow(now + hours(24 * 365 * 100)), now, over}, // nor for a century
        {untilTomorrow(local(2, 23, 0)), now, inForce}, // later today: until midnight
        {untilTomorrow(local(2, 23, 0)), local(3, 0, 0, 1), over},
        {untilTomorrow(dstStart), dstLate, inForce},
        {untilTomorrow(dstStart), dstLate + minutes(11), over},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(RemainingDisableTime::evaluate(cases[i].stored, cases[i].at), cases[i].expected) << "case " << i;
    EXPECT_EQ(LocalCalendar::format(dstLate, "%Y-%m-%d %H.%M"), "2026-03-29 23.50");
    // The same moments seen from UTC fall on other days.
    EnvGuard utc("TZ", "UTC0");
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(dstStart), dstLate), over);
}
