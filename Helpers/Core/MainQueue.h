#pragma once

#include "Platform/Reactive/Scheduler.h"

#include <chrono>
#include <functional>
#include <limits>

namespace faciward::helpers {

/// @brief A delay of the toolkit, in the scheduler's unit.
using Delay = platform::Scheduler::Duration;

/// @brief The main queue of the toolkit: the scheduler of the application's
/// thread (the Qt event loop), made on first use, for the whole process.
/// Callable from any thread once the application object exists; a program
/// without one stops with a fatal error. Objects of the toolkit that wait take
/// a scheduler as a constructor parameter and default to this one, so that
/// their tests can run them in virtual time.
platform::Scheduler &mainScheduler();

/// @brief @p given, or mainScheduler() when none was given: the queue of such
/// an object.
platform::Scheduler &schedulerOrMain(platform::Scheduler *given);

/// @brief Runs @p work on the main queue. Safe from any thread; never runs
/// @p work before it returns, not even on the main thread, so that "start,
/// then return" flows behave the same wherever they are called from. Posts run
/// in the order they were made, interleaved in order with Qt's zero-length
/// timers.
void postToMain(std::function<void()> work);

/// @brief A delay that never ends: work posted after it never runs.
inline constexpr Delay kNever = Delay::max();

/// @brief Runs @p work on @p scheduler's thread once @p delay has passed. A
/// delay of zero still runs after the caller returns; a long delay is waited
/// as the scheduler waits it (QtScheduler: in steps of its longest timer);
/// after kNever @p work never runs, and is let go on the scheduler's thread.
/// Safe from any thread.
void postAfter(platform::Scheduler &scheduler, Delay delay, std::function<void()> work);

/// @brief postAfter() on the main queue.
void postToMainAfter(Delay delay, std::function<void()> work);

/// @brief Seconds as the toolkit's callers give them, as a delay: never
/// negative (zero for a negative or undefined delay), and kNever for an
/// infinite one or one too long to count. Not rounded: the scheduler's timer
/// rounds up to what it can wait (QtScheduler: whole milliseconds).
Delay toDelay(std::chrono::duration<double> seconds);

} // namespace faciward::helpers
