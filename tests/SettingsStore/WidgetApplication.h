#pragma once

#include <chrono>
#include <functional>

class QApplication;

namespace faciward::testing {

/// @brief The one QApplication of a widget test binary, made on first use on the
/// calling (main) thread, on the offscreen platform unless QT_QPA_PLATFORM says
/// otherwise.
QApplication &widgetApplication();

/// @brief Runs the main thread's event loop until @p done holds; @p limit (real
/// time) only turns a hang into a failure. Returns `done()`.
bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(20));

} // namespace faciward::testing
