#pragma once

#include <chrono>
#include <functional>
#include <string>

class QApplication;
class QImage;
class QWidget;

namespace faciward::testing {

/// @brief The one QApplication of a widget test binary, made on first use on the
/// calling (main) thread. The platform is offscreen unless QT_QPA_PLATFORM says
/// otherwise (the x11 tests set "xcb"). Fonts and scale are fixed, so that
/// geometry does not depend on the machine: DejaVu Sans at 10 points, 96 dpi,
/// scale 1.
QApplication &widgetApplication();

/// @brief Runs the main thread's event loop until @p done holds; @p limit (real
/// time) only turns a hang into a failure. Returns `done()`.
bool spinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::seconds(20));

/// @brief When FACIWARD_SCREENSHOTS names a folder, saves @p image there as
/// `<name>.png`, so that a person can look at what a view test drew. Does
/// nothing otherwise.
void saveScreenshot(const QImage &image, const std::string &name);

/// @brief Renders @p widget into an image of its size (device pixel ratio 1)
/// and saves it as saveScreenshot() does; returns the image for probing.
QImage grabWidget(QWidget &widget, const std::string &name);

} // namespace faciward::testing
