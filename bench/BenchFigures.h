#pragma once

// What every benchmark prints and how it times: one JSON object per line,
// {"bench":…,"metric":…,"value":…,"unit":…}, and medians of wall-clock times.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace faciward::bench {

/// @brief Prints one figure of the benchmark @p bench as a JSON line, at once.
inline void printFigure(const char *bench, const std::string &metric, double value, const char *unit)
{
    std::printf("{\"bench\":\"%s\",\"metric\":\"%s\",\"value\":%.6g,\"unit\":\"%s\"}\n", bench, metric.c_str(), value,
                unit);
    std::fflush(stdout);
}

/// @brief How long @p work takes, in milliseconds of the steady clock.
inline double timeMs(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

/// @brief The middle value of @p v (the upper of the two middle ones when
/// even); 0 for no values, which a figure printed as JSON cannot be without.
inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace faciward::bench
