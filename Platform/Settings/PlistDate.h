#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>

namespace faciward::platform {

/// @brief A point in time as the settings store keeps it: seconds since the
/// reference date 2001-01-01 00:00:00 UTC, as a double.
///
/// Kept as a double rather than a clock time point so that a stored date reads
/// back bit for bit; conversions to and from std::chrono are offered below.
struct PlistDate
{
    /// @brief Unix time of the reference date, in seconds.
    static constexpr double referenceUnixSeconds = 978307200.0;

    /// @brief Seconds since 2001-01-01 00:00:00 UTC; negative before it.
    double secondsSinceReferenceDate = 0;

    static PlistDate fromTimePoint(std::chrono::system_clock::time_point time)
    {
        // Whole seconds and the fraction apart, so that 0.25 s stays exactly 0.25.
        const auto whole = std::chrono::floor<std::chrono::seconds>(time);
        const std::chrono::duration<double> fraction = time - whole;
        const auto seconds = static_cast<double>(whole.time_since_epoch().count());
        return PlistDate{(seconds - referenceUnixSeconds) + fraction.count()};
    }

    /// @brief The nearest time point the system clock can represent; the date must
    /// lie within its range (about the years 1678 to 2262).
    std::chrono::system_clock::time_point toTimePoint() const
    {
        const double unix = secondsSinceReferenceDate + referenceUnixSeconds;
        const double whole = std::floor(unix);
        const std::chrono::duration<double> fraction(unix - whole);
        return std::chrono::system_clock::time_point(
            std::chrono::seconds(static_cast<std::int64_t>(whole)) +
            std::chrono::round<std::chrono::system_clock::duration>(fraction));
    }

    bool operator==(const PlistDate &) const = default;
};

} // namespace faciward::platform
