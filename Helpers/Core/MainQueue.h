#pragma once

#include <chrono>
#include <functional>
#include <limits>

namespace faciward::helpers {

/// @brief The main queue of the toolkit: the event loop of the application's
/// thread. Both calls are safe from any thread and never run @p work before
/// they return, not even on the main thread, so that "start, then return"
/// flows behave the same wherever they are called from. Posts run in the order
/// they were made, interleaved in order with Qt's zero-length timers.
void postToMain(std::function<void()> work);

/// @brief A delay that never ends: work posted after it never runs.
inline constexpr std::chrono::milliseconds kNever = std::chrono::milliseconds::max();

/// @brief The longest wait of one Qt timer, whose interval is an int of
/// milliseconds: about 24.8 days.
inline constexpr std::chrono::milliseconds kLongestTimerWait{std::numeric_limits<int>::max()};

/// @brief Runs @p work on the main thread once @p delay has passed (precise
/// timers). A delay of zero still runs after the caller returns; a delay
/// longer than one timer can wait is waited in steps (timerStep()); after
/// kNever @p work never runs, and is let go on the main thread.
void postToMainAfter(std::chrono::milliseconds delay, std::function<void()> work);

/// @brief The next step of a wait with @p remaining left: all of it when one
/// timer can wait that long, the longest a timer can otherwise.
std::chrono::milliseconds timerStep(std::chrono::milliseconds remaining);

/// @brief Seconds as the toolkit's callers give them, rounded up to whole
/// milliseconds: never negative (zero for a negative or undefined delay), and
/// kNever for an infinite one or one too long to count in milliseconds.
std::chrono::milliseconds toMilliseconds(std::chrono::duration<double> seconds);

} // namespace faciward::helpers
