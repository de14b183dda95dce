#pragma once

#include <QSizeF>

#include <cstdint>
#include <optional>

class QScreen;

namespace faciward::helpers {

/// @brief The size of the main screen's available area, for layouts that
/// scale with it. Main thread only.
///
/// A headless session can have no screen at all: then there is no size (and
/// no ratio) until one appears, instead of a crash.
class Screen
{
public:
    Screen() = delete;

    /// @brief On first success, the available size of the primary screen, kept
    /// from then on (or the last value given to setSize()).
    static std::optional<QSizeF> size();
    static void setSize(QSizeF size);
    /// @brief The shorter side of size() divided by the longer one (at most 1);
    /// none without a size or with an empty one.
    static std::optional<qreal> ratio();

    /// @brief The available size of @p screen; none when there is no screen.
    static std::optional<QSizeF> availableSize(const QScreen *screen);
};

/// @brief The number of @p screen: its place in the application's list of
/// screens, or none for no screen or one the application does not list.
std::optional<std::uint32_t> displayNumber(const QScreen *screen);

} // namespace faciward::helpers
