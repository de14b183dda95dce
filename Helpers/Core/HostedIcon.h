#pragma once

#include <QObject>
#include <QSize>

#include <functional>

class QIcon;
class QPainter;
class QSystemTrayIcon;
class QTimer;

namespace faciward::helpers {

/// @brief The menu-bar icon of a status item, drawn by a function instead of
/// hosted as a live view (a tray icon can only show pictures).
///
/// Each update draws a new frame at the screen's pixel ratio and sets it as
/// the item's icon, at most ten frames a second: with a StatusNotifierItem
/// tray every frame travels over D-Bus. Lives as long as its item.
class HostedIcon : public QObject
{
    Q_OBJECT

public:
    /// Draws one frame into a transparent area of @p size (logical pixels).
    using Renderer = std::function<void(QPainter &painter, QSize size)>;

    static constexpr int kMinimumFrameMs = 100;
    static constexpr QSize kIconSize{22, 22};

    HostedIcon(QSystemTrayIcon &item, Renderer renderer);

    /// @brief Asks for a new frame: drawn now, or at the end of the current
    /// tenth of a second when one was drawn less than that ago.
    void update();

    /// @brief One frame of @p renderer as an icon, at @p devicePixelRatio.
    static QIcon render(const Renderer &renderer, QSize size, qreal devicePixelRatio);

private:
    void draw();

    QSystemTrayIcon &m_item;
    Renderer m_renderer;
    QTimer *m_throttle;
    bool m_pending = false;
};

/// @brief Shows @p renderer's drawing as the icon of @p item, now and at each
/// update() of the result, which @p item owns. @p item must exist.
HostedIcon *addHostedView(QSystemTrayIcon *item, HostedIcon::Renderer renderer);

} // namespace faciward::helpers
