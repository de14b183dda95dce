#pragma once

#include "StatusItem.h"

#include <QObject>
#include <QPoint>
#include <QSystemTrayIcon>

#include <optional>

namespace faciward::helpers {

/// @brief The status item over QSystemTrayIcon: the icon, its menu, and the
/// anchor of the popovers.
///
/// Only an XEmbed tray tells where the icon is. StatusNotifierItem hosts (KDE,
/// GNOME with an extension) report an empty geometry, and many desktops have no
/// tray at all. The anchor then falls back to the pointer position at the last
/// activation of the icon, and without one to the top right corner of the
/// primary screen's available area, so a popover always has a place to go.
class SystemTrayStatusItem : public QObject, public StatusItem
{
    Q_OBJECT
public:
    explicit SystemTrayStatusItem(const QIcon &icon, QObject *parent = nullptr);

    /// @brief The tray icon itself, for its menu, tool tip and activation signal.
    QSystemTrayIcon &trayIcon() { return m_icon; }

    QRect anchorRect() const override;

private:
    QSystemTrayIcon m_icon;
    std::optional<QPoint> m_lastActivation;
};

} // namespace faciward::helpers
