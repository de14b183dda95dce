#include "Spinner.h"

#include <QPainter>
#include <QTimerEvent>

namespace faciward::helpers {

namespace {

constexpr int spokes = 8;
constexpr int stepMilliseconds = 100;

} // namespace

Spinner::Spinner(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(diameter, diameter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(foregroundRole());
    const qreal radius = diameter / 2.0;
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the current step is the darkest; the ones behind it fade.
        const int age = (m_step - i + spokes) % spokes;
        colour.setAlphaF(1.0 - 0.8 * age / spokes);
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / spokes);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius + 1.5));
        painter.restore();
    }
}

void Spinner::showEvent(QShowEvent *event)
{
    m_timer.start(stepMilliseconds, this);
    QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent *event)
{
    m_timer.stop();
    QWidget::hideEvent(event);
}

void Spinner::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId())
        return QWidget::timerEvent(event);
    m_step = (m_step + 1) % spokes;
    update();
}

} // namespace faciward::helpers
