#include "PopupInfoButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace faciward::helpers {

PopupInfoButton::PopupInfoButton(QWidget *popupContent, QWidget *parent)
    : QAbstractButton(parent)
    , m_popover(std::make_unique<PopoverWindow>(PopoverWindow::Behaviour::Transient))
    , m_symbol(QStringLiteral("info.circle.fill"))
{
    setFixedSize(side, side);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    m_popover->setContentWidget(popupContent);
    m_popover->installEventFilter(this);
    connect(m_popover.get(), &PopoverWindow::hidden, this, [this] { m_open = false; });
    connect(this, &QAbstractButton::clicked, this, &PopupInfoButton::toggle);
}

PopupInfoButton::~PopupInfoButton() = default;

void PopupInfoButton::toggle()
{
    if (m_open) {
        m_popover->hide();
        return;
    }
    m_open = true;
    m_popover->showRelativeTo(QRect(mapToGlobal(QPoint(0, 0)), size()), PopoverWindow::Placement::Below);
}

// A press outside a popup closes it and is then delivered again to whatever
// lies under the pointer. On this button that second delivery would open the
// popover right after it closed; elsewhere it must reach its widget.
bool PopupInfoButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_popover.get() && event->type() == QEvent::MouseButtonPress) {
        const QPoint at = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        m_popover->setAttribute(Qt::WA_NoMouseReplay, rect().contains(mapFromGlobal(at)) && isVisible());
    }
    return QAbstractButton::eventFilter(watched, event);
}

void PopupInfoButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_symbol.paint(painter, QRectF(rect()), palette().color(isDown() ? QPalette::Mid : QPalette::WindowText));
}

} // namespace faciward::helpers
