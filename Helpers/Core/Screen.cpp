#include "Screen.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace faciward::helpers {

namespace {

std::optional<QSizeF> &storedSize()
{
    static std::optional<QSizeF> size;
    return size;
}

} // namespace

std::optional<QSizeF> Screen::size()
{
    auto &stored = storedSize();
    if (!stored)
        stored = availableSize(QGuiApplication::primaryScreen());
    return stored;
}

void Screen::setSize(QSizeF size)
{
    storedSize() = size;
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
    if (!screen)
        return std::nullopt;
    return QSizeF(screen->availableGeometry().size());
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
