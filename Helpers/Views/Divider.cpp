#include "Divider.h"

#include <QPainter>

namespace faciward::helpers {

Divider::Divider(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(markSize);
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor foreground = palette().color(foregroundRole());
    // The stem is black beneath the foreground colour, so a translucent
    // foreground still reads as a line.
    const QRect stem((markSize.width() - stemSize.width() + 1) / 2, 0, stemSize.width(), stemSize.height());
    painter.fillRect(stem, Qt::black);
    painter.fillRect(stem, foreground);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(foreground);
    painter.drawEllipse(QRectF((markSize.width() - dotDiameter) / 2.0, stemSize.height(), dotDiameter, dotDiameter));
}

} // namespace faciward::helpers
