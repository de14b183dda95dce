#pragma once

#include <chrono>
#include <functional>

namespace faciward::helpers {

/// @brief The main queue of the toolkit: the event loop of the application's
/// thread. Both calls are safe from any thread and never run @p work before
/// they return, not even on the main thread, so that "start, then return"
/// flows behave the same wherever they are called from. Posts run in the order
/// they were made, interleaved in order with Qt's zero-length timers.
void postToMain(std::function<void()> work);

/// @brief Runs @p work on the main thread once @p delay has passed (a precise
/// timer). A delay of zero still runs after the caller returns.
void postToMainAfter(std::chrono::milliseconds delay, std::function<void()> work);

/// @brief Seconds as the toolkit's callers give them, rounded up to whole
/// milliseconds, never negative.
std::chrono::milliseconds toMilliseconds(std::chrono::duration<double> seconds);

} // namespace faciward::helpers
