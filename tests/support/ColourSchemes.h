#pragma once

#include <string>

class QColor;
class QImage;
class QPalette;
class QWidget;

namespace faciward::testing {

/// @brief Fixed light and dark palettes, so that what a view draws in either
/// scheme does not depend on the machine's style.
QPalette lightPalette();
QPalette darkPalette();

/// @brief Gives @p widget a filled background and grabs it once in each scheme
/// (saved as `<name>-light` and `<name>-dark` when FACIWARD_SCREENSHOTS names a
/// folder), after the layout requests still queued; leaves the light palette
/// set and returns its grab, for probing.
QImage grabInBothSchemes(QWidget &widget, const std::string &name);

/// @brief Whether two probed colours agree within @p tolerance per channel
/// (alpha included), the slack that antialiasing and rounding leave.
bool coloursNear(const QColor &a, const QColor &b, int tolerance = 2);

/// @brief @p top, translucent, drawn over the opaque @p bottom.
QColor blendOver(const QColor &top, const QColor &bottom);

} // namespace faciward::testing
