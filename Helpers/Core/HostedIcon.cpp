#include "HostedIcon.h"

#include "FatalError.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

namespace faciward::helpers {

HostedIcon::HostedIcon(QSystemTrayIcon &item, Renderer renderer)
    : QObject(&item)
    , m_item(item)
    , m_renderer(std::move(renderer))
    , m_throttle(new QTimer(this))
{
    m_throttle->setSingleShot(true);
    m_throttle->setInterval(kMinimumFrameMs);
    QObject::connect(m_throttle, &QTimer::timeout, this, [this] {
        if (std::exchange(m_pending, false))
            draw();
    });
    draw();
}

void HostedIcon::update()
{
    if (m_throttle->isActive())
        m_pending = true;
    else
        draw();
}

void HostedIcon::draw()
{
    m_item.setIcon(render(m_renderer, kIconSize, qGuiApp->devicePixelRatio()));
    m_throttle->start();
}

QIcon HostedIcon::render(const Renderer &renderer, QSize size, qreal devicePixelRatio)
{
    QPixmap frame(size * devicePixelRatio);
    frame.setDevicePixelRatio(devicePixelRatio);
    frame.fill(Qt::transparent);
    {
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer(painter, size);
    }
    return QIcon(frame);
}

HostedIcon *addHostedView(QSystemTrayIcon *item, HostedIcon::Renderer renderer)
{
    if (!item)
        fatalError("A hosted view needs a status item");
    return new HostedIcon(*item, std::move(renderer));
}

} // namespace faciward::helpers
