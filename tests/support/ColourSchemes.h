#pragma once

#include <string>

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
/// folder); leaves the light palette set and returns its grab, for probing.
QImage grabInBothSchemes(QWidget &widget, const std::string &name);

} // namespace faciward::testing
