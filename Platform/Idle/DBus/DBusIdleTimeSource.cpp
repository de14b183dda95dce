#include "DBusIdleTimeSource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <atomic>

namespace faciward::platform {

namespace {

const QString monitorService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString monitorPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString monitorInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");

QString uniqueConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("faciward-idle-%1").arg(++counter);
}

} // namespace

class DBusIdleTimeSource::Private
{
public:
    explicit Private(const std::optional<std::string> &address)
        : privateName(address ? uniqueConnectionName() : QString())
        , connection(address ? QDBusConnection::connectToBus(QString::fromStdString(*address), privateName)
                             : QDBusConnection::sessionBus())
    {
    }

    ~Private()
    {
        if (!privateName.isEmpty())
            QDBusConnection::disconnectFromBus(privateName);
    }

    QString privateName;
    QDBusConnection connection;
    int timeoutMs = 500;
};

DBusIdleTimeSource::DBusIdleTimeSource(std::optional<std::string> busAddress, std::chrono::milliseconds timeout)
    : d(std::make_unique<Private>(busAddress))
{
    d->timeoutMs = static_cast<int>(timeout.count());
}

DBusIdleTimeSource::~DBusIdleTimeSource() = default;

std::string DBusIdleTimeSource::name() const
{
    return "the D-Bus idle monitor " + monitorService.toStdString();
}

bool DBusIdleTimeSource::isAvailable()
{
    return idleTime().has_value();
}

std::optional<IdleTimeSource::Seconds> DBusIdleTimeSource::idleTime()
{
    if (!d->connection.isConnected())
        return std::nullopt;
    const auto call =
        QDBusMessage::createMethodCall(monitorService, monitorPath, monitorInterface, QStringLiteral("GetIdletime"));
    const QDBusMessage reply = d->connection.call(call, QDBus::Block, d->timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QStringLiteral("t"))
        return std::nullopt;
    const auto milliseconds = reply.arguments().value(0).toULongLong();
    return Seconds(static_cast<double>(milliseconds) / 1000.0);
}

} // namespace faciward::platform
