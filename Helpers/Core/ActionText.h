#pragma once

#include <QString>

namespace faciward::helpers {

/// @brief @p text as a menu item or a toolbar button shows it literally: an
/// "&" stays an "&" instead of marking the next letter as a mnemonic, and a
/// tab becomes a space instead of starting the shortcut column.
QString literalActionText(const QString &text);

} // namespace faciward::helpers
