#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace faciward::presence {

/// @brief The user's local calendar (the TZ of the process).
class LocalCalendar
{
public:
    /// @brief The local calendar day of @p t, as days since 1970-01-01.
    /// Consecutive local dates give consecutive numbers, across daylight-saving changes.
    static std::int64_t dayNumber(std::chrono::system_clock::time_point t);

    /// @brief @p t in local time, formatted with strftime's @p format.
    static std::string format(std::chrono::system_clock::time_point t, const char *format);
};

} // namespace faciward::presence
