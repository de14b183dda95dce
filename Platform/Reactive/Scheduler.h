#pragma once

#include "AnyCancellable.h"

#include <chrono>
#include <functional>

namespace faciward::platform {

/// @brief The run loop that owns a piece of state: the clock it reads, and the
/// way work and timers are put on it.
///
/// Production uses the Qt event loop; tests use a virtual scheduler on which
/// time moves only when the test advances it. Every engine timer goes through
/// this interface so that a whole check cycle can be replayed exactly.
class Scheduler
{
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Duration = Clock::duration;
    using WallTimePoint = std::chrono::system_clock::time_point;

    virtual ~Scheduler() = default;

    /// @brief Monotonic time, for intervals (throttles, time since the last check).
    virtual TimePoint now() const = 0;
    /// @brief Calendar time, for stored dates (disable periods, picture names).
    virtual WallTimePoint wallNow() const = 0;

    /// @brief Runs @p work on the scheduler's thread, after work posted before it.
    /// Safe to call from any thread.
    virtual void post(std::function<void()> work) = 0;

    /// @brief Runs @p work once, @p delay from now, unless the result is cancelled first.
    /// @p tolerance lets the loop coalesce wake-ups; the timer never fires early.
    /// Safe to call from any thread.
    [[nodiscard]] virtual AnyCancellable postAfter(Duration delay, std::function<void()> work,
                                                   Duration tolerance = Duration::zero()) = 0;

    /// @brief Runs @p work every @p interval, first after one interval, until cancelled.
    /// Safe to call from any thread.
    [[nodiscard]] virtual AnyCancellable repeatEvery(Duration interval, std::function<void()> work,
                                                     Duration tolerance = Duration::zero()) = 0;

    /// @brief True when called on the scheduler's own thread.
    virtual bool isCurrent() const = 0;
};

/// @brief Converts seconds given as a double (the unit settings use) to a scheduler duration.
inline Scheduler::Duration seconds(double s)
{
    return std::chrono::duration_cast<Scheduler::Duration>(std::chrono::duration<double>(s));
}

} // namespace faciward::platform
