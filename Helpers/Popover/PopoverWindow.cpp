#include "PopoverWindow.h"

#include "Helpers/Core/Screen.h"
#include "Helpers/X11/X11Desktop.h"

#include <QHideEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>

namespace faciward::helpers {

PopoverWindow::PopoverWindow(Behaviour behaviour)
    : QWidget(nullptr, behaviour == Behaviour::Transient
                           ? Qt::Popup | Qt::FramelessWindowHint
                           : Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void PopoverWindow::setContentWidget(QWidget *content)
{
    if (content == m_content)
        return;
    delete m_content;
    m_content = content;
    if (m_content) {
        m_content->setParent(this);
        m_content->show();
    }
    place();
}

void PopoverWindow::setContentSize(const QSize &size)
{
    m_contentSize = size;
    place();
}

QSize PopoverWindow::contentSize() const
{
    if (m_contentSize)
        return *m_contentSize;
    return m_content ? m_content->sizeHint().expandedTo(QSize(1, 1)) : QSize(1, 1);
}

void PopoverWindow::showRelativeTo(const QRect &anchor, Placement placement)
{
    m_anchor = anchor;
    m_placement = placement;
    place();
    show();
    raise();
    // Its content may want the keyboard (a PIN), and on platforms without a
    // global mouse monitor only an active application can tell a click
    // elsewhere by turning inactive.
    activateWindow();
}

QPoint PopoverWindow::arrowTip() const
{
    return mapToGlobal(QPoint(m_arrowX, m_below ? 0 : height()));
}

// Lays the window out below or above the anchor, then pushes it back inside
// the screen's available area; the arrow follows the anchor's centre as far
// as the rounded corners allow.
void PopoverWindow::place()
{
    const QSize content = contentSize();
    const QSize size(content.width() + 2 * margin, content.height() + 2 * margin + arrowHeight);
    const QPoint target = m_anchor.center();
    const QScreen *screen = Screen::screenFor(target);
    const QRect area = Screen::availableArea(screen).value_or(QRect(QPoint(0, 0), size));

    if (m_placement == Placement::Below)
        m_below = m_anchor.bottom() + size.height() <= area.bottom();
    else
        m_below = !screen || target.y() < screen->geometry().center().y();
    int x = target.x() - size.width() / 2;
    int y = m_below ? m_anchor.bottom() + 1 : m_anchor.top() - size.height();
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
    const int inset = arrowWidth / 2 + 1;
    m_arrowX = std::clamp(target.x() - x, inset, std::max(inset, size.width() - inset));

    setGeometry(QRect(QPoint(x, y), size));
    if (m_content)
        m_content->setGeometry(margin, (m_below ? arrowHeight : 0) + margin, content.width(), content.height());
    if (!x11CompositorRunning())
        setMask(QRegion(shape().toFillPolygon().toPolygon()));
    update();
}

QPainterPath PopoverWindow::shape() const
{
    const QRectF body =
        QRectF(0, m_below ? arrowHeight : 0, width(), height() - arrowHeight).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(body, cornerRadius, cornerRadius);
    // The arrow reaches into the body as deep as the corners are round, so an
    // arrow over a corner squares that corner instead of leaving a notch.
    const qreal base = m_below ? body.top() : body.bottom();
    const qreal inner = base + (m_below ? cornerRadius : -cornerRadius);
    const qreal tip = m_below ? 0 : height();
    QPainterPath arrow;
    arrow.moveTo(m_arrowX - arrowWidth / 2.0, inner);
    arrow.lineTo(m_arrowX - arrowWidth / 2.0, base);
    arrow.lineTo(m_arrowX, tip);
    arrow.lineTo(m_arrowX + arrowWidth / 2.0, base);
    arrow.lineTo(m_arrowX + arrowWidth / 2.0, inner);
    arrow.closeSubpath();
    return path.united(arrow);
}

void PopoverWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawPath(shape());
}

void PopoverWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        Q_EMIT hidden();
}

} // namespace faciward::helpers
