#include "UserInteractionPausableWindow.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

namespace faciward::helpers {

namespace {

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
        return true;
    default:
        return false;
    }
}

} // namespace

UserInteractionPausableWindow::UserInteractionPausableWindow(QWidget *parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
}

bool UserInteractionPausableWindow::isPausedInput(const QEvent &event)
{
    switch (event.type()) {
    case QEvent::MouseMove:
        // A drag is input; a plain move only moves the cursor.
        return static_cast<const QMouseEvent &>(event).buttons() != Qt::NoButton;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
        // A modifier pressed or let go only changes the modifier state.
        return !isModifierKey(static_cast<const QKeyEvent &>(event).key());
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

bool UserInteractionPausableWindow::event(QEvent *event)
{
    // The handle exists from the first show (or winId()) on; input can only
    // arrive after that, and every widget event passes here first.
    if (QWindow *handle = windowHandle(); handle && handle != m_filtered) {
        handle->installEventFilter(this);
        m_filtered = handle;
    }
    return QWidget::event(event);
}

bool UserInteractionPausableWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_filtered && !m_userInteractionEnabled && isPausedInput(*event)) {
        // Qt fires a shortcut unless its override request comes back accepted.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace faciward::helpers
