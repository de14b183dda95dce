#include "Screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace faciward::helpers {

namespace {

// Only what a caller assigned: the screen's own size is never kept, since it
// goes stale when screens change.
std::optional<QSizeF> &assignedSize()
{
    static std::optional<QSizeF> size;
    return size;
}

} // namespace

QScreen *Screen::screenFor(const QWidget *window)
{
    if (window)
        if (QScreen *screen = window->screen())
            return screen;
    return QGuiApplication::primaryScreen();
}

QScreen *Screen::screenFor(QPoint point)
{
    if (QScreen *screen = QGuiApplication::screenAt(point))
        return screen;
    return QGuiApplication::primaryScreen();
}

std::optional<QRect> Screen::availableArea(const QScreen *screen)
{
    if (!screen)
        return std::nullopt;
    return screen->availableGeometry();
}

void Screen::centerOnScreen(QWidget &window)
{
    const std::optional<QRect> area = availableArea(screenFor(&window));
    if (!area)
        return;
    const QSize frame = window.frameGeometry().size();
    const int x = area->x() + (area->width() - frame.width()) / 2;
    const int y = area->y() + std::max(0, (area->height() - frame.height()) / 3);
    window.move(x, y);
}

std::optional<QSizeF> Screen::size()
{
    if (const auto &assigned = assignedSize())
        return assigned;
    return availableSize(QGuiApplication::primaryScreen());
}

void Screen::setSize(QSizeF size)
{
    assignedSize() = size;
}

std::optional<qreal> Screen::ratio()
{
    const auto s = size();
    if (!s)
        return std::nullopt;
    const qreal longer = std::max(s->width(), s->height());
    if (!(longer > 0))
        return std::nullopt;
    return std::min(s->width(), s->height()) / longer;
}

std::optional<QSizeF> Screen::availableSize(const QScreen *screen)
{
    if (const std::optional<QRect> area = availableArea(screen))
        return QSizeF(area->size());
    return std::nullopt;
}

std::optional<std::uint32_t> displayNumber(const QScreen *screen)
{
    if (!screen)
        return std::nullopt;
    const auto screens = QGuiApplication::screens();
    const auto index = screens.indexOf(const_cast<QScreen *>(screen));
    if (index < 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(index);
}

} // namespace faciward::helpers
