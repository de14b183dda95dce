#include "Faciward/Presence/Locking/RemainingDisableTime.h"
#include "tests/support/Guards.h"

#include <gtest/gtest.h>

#include <limits>

using faciward::presence::RemainingDisableTime;
using faciward::settings::DisableTime;
using faciward::testing::EnvGuard;
using namespace std::chrono;
using Kind = RemainingDisableTime::Kind;

namespace {

constexpr const char *centralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

// Local (UTC+1 in March before the 29th) wall time.
system_clock::time_point local(unsigned d, int hh, int mm, int ss = 0, int month = 3)
{
    return sys_days{year{2026} / month / d} + hours(hh - 1) + minutes(mm) + seconds(ss);
}

DisableTime timed(system_clock::time_point start, std::optional<std::int64_t> minutes)
{
    DisableTime t;
    t.startDate = start;
    t.duration = minutes;
    t.state = DisableTime::State::time;
    return t;
}

DisableTime untilTomorrow(system_clock::time_point start)
{
    DisableTime t;
    t.startDate = start;
    t.state = DisableTime::State::untilTomorrow;
    return t;
}

RemainingDisableTime remain(std::uint64_t n)
{
    return {Kind::secondsRemain, n};
}

const RemainingDisableTime over{Kind::noPeriod, 0};
const RemainingDisableTime inForce{Kind::inForce, 0};

} // namespace

class RemainingDisableTimeTest : public ::testing::Test
{
protected:
    EnvGuard tz{"TZ", centralEurope};
    const system_clock::time_point now = local(2, 10, 0);
};

TEST_F(RemainingDisableTimeTest, nothingStoredIsNoPeriod)
{
    EXPECT_EQ(RemainingDisableTime::evaluate(std::nullopt, now), over);
}

TEST_F(RemainingDisableTimeTest, timedPeriodsCountWholeSecondsDownToTheirEnd)
{
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now - minutes(4), 10), now), remain(360));
    // 359.3 s left: whole seconds, truncated.
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now - minutes(4) - milliseconds(700), 10), now), remain(359));
    // Under one second left: a count of zero, which the count-down ends at once.
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now - minutes(9) - milliseconds(59500), 10), now), remain(0));
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now - minutes(10), 10), now), over);
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now - minutes(11), 10), now), over);
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now, 15), now), remain(900));
}

TEST_F(RemainingDisableTimeTest, oddTimedPeriodsAreOverOrBounded)
{
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now, std::nullopt), now), over);
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now, 0), now), over);
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now, -5), now), over);
    // A start in the future (the clock was set back) never lengthens the period.
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now + hours(24 * 365), 10), now), remain(600));
    // No overflow, however long.
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now, std::numeric_limits<std::int64_t>::max()), now),
              remain(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(RemainingDisableTime::evaluate(timed(now, 1'000'000), now), remain(60'000'000));
}

TEST_F(RemainingDisableTimeTest, untilTomorrowEndsOnAnyLaterLocalDay)
{
    // Begun this morning: in force to the last second of the day.
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(local(2, 0, 0)), local(2, 23, 59, 59)), inForce);
    // Begun a minute before midnight: over a minute later.
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(local(1, 23, 59)), local(2, 0, 0, 1)), over);
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(local(1, 9, 0)), now), over);
    // Two or more days ago: over as well, not in force for ever.
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(local(28, 9, 0, 0, 2)), now), over);
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(now - hours(24 * 40)), now), over);
    // A start on a later day (the clock was set back) is still in force.
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(local(3, 9, 0)), now), inForce);
}

TEST_F(RemainingDisableTimeTest, untilTomorrowFollowsTheLocalCalendarAcrossDaylightSaving)
{
    // 29 March 2026 is 23 hours long in central Europe; the day is what counts.
    const auto start = sys_days{2026y / 3 / 28} + hours(23) + minutes(10); // 00:10 CET on the 29th
    const auto lateSameDay = sys_days{2026y / 3 / 29} + hours(21) + minutes(50); // 23:50 CEST
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(start), lateSameDay), inForce);
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(start), lateSameDay + minutes(11)), over);
    // The same moments seen from UTC fall on other days.
    EnvGuard utc("TZ", "UTC0");
    EXPECT_EQ(RemainingDisableTime::evaluate(untilTomorrow(start), lateSameDay), over);
}
