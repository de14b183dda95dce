#include "DrawingWindow.h"

#include "Helpers/Core/Screen.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cstdlib>

namespace faciward::helpers {

namespace {
constexpr auto captureDelay = std::chrono::milliseconds(200);
constexpr qreal dashLength = 10;
constexpr qreal gapLength = 5;
constexpr int dashPeriodMs = 750;
} // namespace

DrawingWindow::DrawingWindow(const QRect &contentRect, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_dashPhase(new QVariantAnimation(this))
{
    setGeometry(contentRect);
    setCursor(Qt::CrossCursor);
    m_dashPhase->setStartValue(0.0);
    m_dashPhase->setEndValue(dashLength + gapLength);
    m_dashPhase->setDuration(dashPeriodMs);
    m_dashPhase->setLoopCount(-1);
    connect(m_dashPhase, &QVariantAnimation::valueChanged, this, [this] { update(); });
}

DrawingWindow::~DrawingWindow() = default;

void DrawingWindow::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        // Taken before the window is on screen, so the picture is what lies under it.
        QScreen *screen = Screen::screenFor(this);
        const QPoint onScreen = geometry().topLeft() - (screen ? screen->geometry().topLeft() : QPoint());
        m_background = screen ? screen->grabWindow(0, onScreen.x(), onScreen.y(), width(), height()) : QPixmap();
    }
    QWidget::setVisible(visible);
}

QImage DrawingWindow::captureImage(const QRect &rect) const
{
    const QRect area = rect.intersected(QRect(QPoint(0, 0), size()));
    if (area.isEmpty() || m_background.isNull())
        return {};
    const qreal ratio = m_background.devicePixelRatio();
    const QRect pixels(qRound(area.x() * ratio), qRound(area.y() * ratio), qRound(area.width() * ratio),
                       qRound(area.height() * ratio));
    QImage image = m_background.copy(pixels).toImage();
    image.setDevicePixelRatio(ratio);
    return image;
}

void DrawingWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_background.isNull())
        painter.drawPixmap(rect(), m_background);
    else
        painter.fillRect(rect(), palette().window());
    if (!m_outline)
        return;
    QPen pen(Qt::white, 1);
    pen.setDashPattern({dashLength, gapLength});
    pen.setDashOffset(m_dashPhase->currentValue().toReal());
    painter.setPen(pen);
    painter.setBrush(QColor(255, 255, 255, 26));
    painter.drawRect(QRectF(*m_outline).adjusted(0.5, 0.5, -0.5, -0.5));
}

// Only the left button draws. Another button pressed or released during a
// drag neither restarts nor ends it, and a drag with another button alone
// draws nothing.
void DrawingWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // A second press starts afresh: the earlier outline goes.
    removeOutline();
    m_startPoint = event->position().toPoint();
    m_outline = QRect(*m_startPoint, QSize(0, 0));
    m_dashPhase->start();
}

void DrawingWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_outline || !m_startPoint || !(event->buttons() & Qt::LeftButton))
        return;
    // The bounding box of the two corners, whichever way the drag goes.
    const QPoint at = event->position().toPoint();
    m_outline = QRect(QPoint(std::min(at.x(), m_startPoint->x()), std::min(at.y(), m_startPoint->y())),
                      QSize(std::abs(at.x() - m_startPoint->x()), std::abs(at.y() - m_startPoint->y())));
    update();
}

void DrawingWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_outline)
        return;
    // A click without a drag selects nothing; it is still signalled, with a
    // null image.
    const QRect selection = *m_outline;
    removeOutline();
    QTimer::singleShot(captureDelay, this, [this, selection] {
        Q_EMIT didCaptureImage(captureImage(selection));
    });
}

void DrawingWindow::removeOutline()
{
    m_dashPhase->stop();
    m_outline.reset();
    update();
}

} // namespace faciward::helpers
