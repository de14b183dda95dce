#pragma once

#include <chrono>
#include <functional>

class QCoreApplication;

namespace faciward::testing {

/// @brief The application of a test binary: the one that already exists, or a
/// QCoreApplication made on first use on the thread that calls this first (the
/// test's main thread).
QCoreApplication &coreApplication();

/// @brief Runs the Qt event loop of the calling thread until @p done holds or
/// @p timeout (real time, a safety net) has passed; returns `done()`.
bool processEventsUntil(const std::function<bool()> &done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

} // namespace faciward::testing
