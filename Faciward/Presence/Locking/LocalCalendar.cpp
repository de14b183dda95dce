#include "LocalCalendar.h"

#include <ctime>

namespace faciward::presence {

namespace {

std::tm localTime(std::chrono::system_clock::time_point t)
{
    // localtime_r reads TZ only once per process; tzset() picks up a change.
    ::tzset();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(
        std::chrono::floor<std::chrono::seconds>(t));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return local;
}

} // namespace

std::int64_t LocalCalendar::dayNumber(std::chrono::system_clock::time_point t)
{
    const std::tm local = localTime(t);
    const std::chrono::year_month_day date{std::chrono::year{local.tm_year + 1900},
                                           std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                           std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    return std::chrono::sys_days(date).time_since_epoch().count();
}

std::string LocalCalendar::format(std::chrono::system_clock::time_point t, const char *format)
{
    const std::tm local = localTime(t);
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

} // namespace faciward::presence
