#pragma once

#include <QPoint>
#include <QRect>
#include <QSizeF>

#include <cstdint>
#include <optional>

class QScreen;
class QWidget;

namespace faciward::helpers {

/// @brief The one home of "which screen, and how much of it is free" for the
/// whole toolkit. Main thread only.
///
/// Every answer is read afresh from Qt, so it follows screens that come, go or
/// change size. A headless session can have no screen at all: then there is no
/// screen, no area and no size (and no ratio) until one appears, instead of a
/// crash.
class Screen
{
public:
    Screen() = delete;

    /// @brief The screen @p window is on, or else the primary one; null when
    /// there is no screen. Without a window, the primary screen.
    static QScreen *screenFor(const QWidget *window = nullptr);
    /// @brief The screen that holds @p point, or else the primary one; null
    /// when there is no screen.
    static QScreen *screenFor(QPoint point);

    /// @brief The free area of @p screen (without panels and docks), in
    /// desktop coordinates; none when there is no screen.
    static std::optional<QRect> availableArea(const QScreen *screen);

    /// @brief Moves @p window onto the available area of screenFor(window):
    /// centred exactly across, and above the middle vertically, with the space
    /// above one third of the free height and the space below two thirds;
    /// never above the area's top. Does nothing with no screen.
    static void centerOnScreen(QWidget &window);

    /// @brief The available size of the primary screen, asked on every call,
    /// unless setSize() gave one: then that one.
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
