#pragma once

#include <QColor>
#include <QStringView>

namespace faciward::helpers {

/// @brief A colour from hexadecimal text such as "#C3FF00".
///
/// Characters that are no letters, marks or numbers (of any script) are
/// trimmed from both ends; the rest is read as a hexadecimal number (an
/// optional "0x" first, up to the first character that is no hex digit, 0
/// when there is none). The number of characters as the user sees them (a
/// letter with its accents is one) decides the form: 3 is RGB with one digit each (times 17), 6 is
/// RRGGBB and 8 is AARRGGBB, all opaque but the last. Any other length gives
/// an almost invisible colour: red 1, green 1, blue 0, alpha 1 (of 255).
QColor colorFromHex(QStringView hex);

} // namespace faciward::helpers
