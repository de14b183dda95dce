#pragma once

#include <QRect>

namespace faciward::helpers {

/// @brief The application's item in the system tray, as far as popovers need
/// it: the rectangle they hang from.
///
/// The real item wraps QSystemTrayIcon (SystemTrayStatusItem); tests use a
/// fake that answers a fixed rectangle.
class StatusItem
{
public:
    virtual ~StatusItem() = default;

    /// @brief Where the item is on screen, in global device-independent pixels.
    /// Never empty: an item that cannot tell gives a best guess.
    virtual QRect anchorRect() const = 0;
};

} // namespace faciward::helpers
