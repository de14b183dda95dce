#include "FloatingPanel.h"

#include "Helpers/X11/X11Desktop.h"

#include <QGraphicsEffect>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

namespace faciward::helpers {

FloatingPanel::FloatingPanel(QWidget *content, int cornerRadius)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus)
    , m_content(content)
{
    // Neither showing it nor a click on it takes the focus from the
    // application the user is in: on X11 the window tells the window manager
    // that it takes no input focus.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QString());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(content);
    if (x11CompositorRunning()) {
        setAttribute(Qt::WA_TranslucentBackground);
        if (const QGraphicsEffect *effect = content->graphicsEffect()) {
            const QRect drawn = effect->boundingRectFor(QRectF(content->rect())).toAlignedRect();
            m_room = QMargins(std::max(0, -drawn.left()), std::max(0, -drawn.top()),
                              std::max(0, drawn.right() - content->rect().right()),
                              std::max(0, drawn.bottom() - content->rect().bottom()));
        }
    }
    layout->setContentsMargins(m_room);
    setFixedSize(content->size().grownBy(m_room));
    if (!testAttribute(Qt::WA_TranslucentBackground)) {
        QPainterPath outline;
        outline.addRoundedRect(rect(), cornerRadius, cornerRadius);
        setMask(QRegion(outline.toFillPolygon().toPolygon()));
    }
}

void FloatingPanel::moveContentTo(QPoint topLeft)
{
    move(topLeft - QPoint(m_room.left(), m_room.top()));
}

QRect FloatingPanel::contentGeometry() const
{
    return QRect(pos() + QPoint(m_room.left(), m_room.top()), m_content->size());
}

void FloatingPanel::setVisible(bool visible)
{
    // Qt has no flag for "on every desktop"; elsewhere than on X11 it is up to
    // the window manager. The hints are read as the window is mapped.
    if (visible && !isVisible())
        stickToEveryDesktop(*this);
    QWidget::setVisible(visible);
}

} // namespace faciward::helpers
