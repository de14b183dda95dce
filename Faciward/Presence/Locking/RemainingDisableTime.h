#pragma once

#include "Faciward/Settings/DisableTime.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace faciward::presence {

/// @brief What a stored disable period means at one moment: no period in
/// force, a period in force until the next local day, or a number of whole
/// seconds left of a timed period.
struct RemainingDisableTime
{
    enum class Kind {
        noPeriod,      ///< nothing stored, or the stored period is over
        inForce,       ///< until tomorrow, and tomorrow has not come
        secondsRemain, ///< a timed period with `seconds` left (may be 0 when under one second is left)
    };

    Kind kind = Kind::noPeriod;
    std::uint64_t seconds = 0;

    /// @brief Evaluates @p period at @p now (calendar time).
    ///
    /// - until tomorrow: in force only on the local day of its start, so over on
    ///   any later day, and at once when it starts on a later day than @p now's
    ///   (it never outlasts the next midnight);
    /// - timed: remaining = duration × 60 − (now − start), at most duration × 60
    ///   (a start in the future, after the clock was set back, does not lengthen
    ///   the period); over when remaining ≤ 0, else the whole seconds of remaining;
    /// - timed without a duration: over.
    static RemainingDisableTime evaluate(const std::optional<settings::DisableTime> &period,
                                         std::chrono::system_clock::time_point now);

    friend bool operator==(const RemainingDisableTime &, const RemainingDisableTime &) = default;
};

} // namespace faciward::presence
