#include "SystemTrayStatusItem.h"

#include "Helpers/Core/Screen.h"

#include <QCursor>

namespace faciward::helpers {

SystemTrayStatusItem::SystemTrayStatusItem(const QIcon &icon, QObject *parent)
    : QObject(parent)
    , m_icon(icon)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this] { m_lastActivation = QCursor::pos(); });
    m_icon.show();
}

QRect SystemTrayStatusItem::anchorRect() const
{
    const QRect tray = m_icon.geometry();
    if (tray.isValid() && !tray.isEmpty())
        return tray;
    if (m_lastActivation)
        return QRect(*m_lastActivation, QSize(1, 1));
    if (const std::optional<QRect> available = Screen::availableArea(Screen::screenFor()))
        return QRect(available->right(), available->top(), 1, 1);
    return QRect(0, 0, 1, 1);
}

} // namespace faciward::helpers
