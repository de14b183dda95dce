#include "FloatingPanel.h"

#include "Helpers/Popover/X11Desktop.h"

#include <QGraphicsEffect>
#include <QGuiApplication>
#include <QPainterPath>
#include <QVBoxLayout>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

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
    if (visible && !isVisible())
        stickToEveryDesktop();
    QWidget::setVisible(visible);
}

void FloatingPanel::stickToEveryDesktop()
{
    // Qt has no flag for "on every desktop"; on X11 the window manager reads
    // these two hints when the window is mapped. Elsewhere it is up to the
    // window manager.
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display())
        return;
    Display *display = x11->display();
    const auto window = static_cast<Window>(winId());
    const long allDesktops = 0xFFFFFFFF;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_DESKTOP", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(&allDesktops), 1);
    const Atom states[] = {XInternAtom(display, "_NET_WM_STATE_STICKY", False),
                           XInternAtom(display, "_NET_WM_STATE_ABOVE", False)};
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(states), 2);
    XFlush(display);
}

} // namespace faciward::helpers
