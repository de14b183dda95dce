#include "Symbol.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace faciward::helpers {

namespace {

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/faciward/symbols/%1.svg").arg(name);
}

} // namespace

Symbol::Symbol(const QString &name)
    : m_name(name)
{
    // A name with a path separator could reach another resource.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || !QFile::exists(resourcePath(name)))
        return;
    auto renderer = std::make_shared<QSvgRenderer>(resourcePath(name));
    if (renderer->isValid())
        m_renderer = std::move(renderer);
}

Symbol::~Symbol() = default;

QSizeF Symbol::defaultSize() const
{
    return m_renderer ? QSizeF(m_renderer->defaultSize()) : QSizeF();
}

void Symbol::paint(QPainter &painter, const QRectF &target, const QColor &tint) const
{
    const QRectF area = fittedRect(defaultSize(), target);
    if (!m_renderer || area.isEmpty())
        return;
    // Rendered into a layer of whole device pixels, then the layer's alpha is
    // filled with the tint: that keeps the antialiased edges of the shape.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage layer((area.size() * ratio).toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        m_renderer->render(&layerPainter, QRectF(QPointF(), QSizeF(layer.size())));
        layerPainter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        layerPainter.fillRect(layer.rect(), tint);
    }
    layer.setDevicePixelRatio(ratio);
    const QSizeF drawn = QSizeF(layer.size()) / ratio;
    const QPointF topLeft(area.center().x() - drawn.width() / 2, area.center().y() - drawn.height() / 2);
    painter.drawImage(QPointF(std::round(topLeft.x()), std::round(topLeft.y())), layer);
}

QRectF fittedRect(const QSizeF &natural, const QRectF &area)
{
    if (natural.isEmpty() || area.isEmpty())
        return {};
    const QSizeF size = natural.scaled(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2,
                  size.width(), size.height());
}

} // namespace faciward::helpers
