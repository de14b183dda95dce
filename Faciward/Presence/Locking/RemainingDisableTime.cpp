#include "RemainingDisableTime.h"

#include "Faciward/Presence/Locking/LocalCalendar.h"

#include <algorithm>
#include <limits>

namespace faciward::presence {

RemainingDisableTime RemainingDisableTime::evaluate(const std::optional<settings::DisableTime> &period,
                                                    std::chrono::system_clock::time_point now)
{
    if (!period)
        return {};
    switch (period->state) {
    case settings::DisableTime::State::untilTomorrow: {
        // Over on any later day, not just the day after: a machine left off over
        // a weekend must not come back unprotected. A start on a later day than
        // today (a clock set back, a record written by hand) would hold until
        // the day after it, however far off: like a timed period, it never
        // lasts longer than from now, so it is over. One later today holds
        // until midnight.
        const auto startDay = LocalCalendar::dayNumber(period->startDate);
        const auto today = LocalCalendar::dayNumber(now);
        if (startDay != today)
            return {};
        return {Kind::inForce, 0};
    }
    case settings::DisableTime::State::time: {
        if (!period->duration)
            return {};
        // In doubles, so that no duration can overflow.
        const double length = static_cast<double>(*period->duration) * 60.0;
        const double elapsed = std::chrono::duration<double>(now - period->startDate).count();
        const double remaining = std::min(length - elapsed, length);
        if (!(remaining > 0))
            return {};
        constexpr double beyond = 18446744073709551616.0; // 2^64
        const std::uint64_t whole = remaining >= beyond ? std::numeric_limits<std::uint64_t>::max()
                                                        : static_cast<std::uint64_t>(remaining);
        return {Kind::secondsRemain, whole};
    }
    }
    return {};
}

} // namespace faciward::presence
