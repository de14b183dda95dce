#include "FakeScreenSaver.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>

#include <atomic>
#include <stdexcept>

namespace faciward::testing {

namespace {

// "/org/gnome/ScreenSaver" for "org.gnome.ScreenSaver".
QString objectPath(QString interface)
{
    return QLatin1Char('/') + interface.replace(QLatin1Char('.'), QLatin1Char('/'));
}

class Answerer final : public QDBusVirtualObject
{
public:
    Answerer(QString interface, bool active)
        : m_interface(std::move(interface))
        , m_active(active)
    {
    }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != m_interface || message.member() != QLatin1String("GetActive"))
            return false;
        return connection.send(message.createReply(QVariant(m_active)));
    }

private:
    const QString m_interface;
    const bool m_active;
};

} // namespace

class FakeScreenSaver::Private
{
public:
    QThread thread;
    std::unique_ptr<Answerer> answerer;
    QString connectionName;
    QString service;
};

FakeScreenSaver::FakeScreenSaver(const std::string &busAddress, const std::string &interface, bool active)
    : d(std::make_unique<Private>())
{
    static std::atomic<int> counter{0};
    d->service = QString::fromStdString(interface);
    d->connectionName = QStringLiteral("faciward-fake-screensaver-%1").arg(++counter);
    d->answerer = std::make_unique<Answerer>(d->service, active);
    // Calls are handed to the object's thread: that thread, not the test's, answers.
    d->answerer->moveToThread(&d->thread);
    d->thread.start();
    QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(busAddress), d->connectionName);
    if (!connection.isConnected() || !connection.registerVirtualObject(objectPath(d->service), d->answerer.get()) ||
        !connection.registerService(d->service)) {
        const auto error = connection.lastError().message().toStdString();
        QDBusConnection::disconnectFromBus(d->connectionName);
        d->thread.quit();
        d->thread.wait();
        throw std::runtime_error("the fake screen saver cannot take its name: " + error);
    }
}

FakeScreenSaver::~FakeScreenSaver()
{
    {
        QDBusConnection connection(d->connectionName);
        connection.unregisterService(d->service);
        connection.unregisterObject(objectPath(d->service));
    }
    QDBusConnection::disconnectFromBus(d->connectionName);
    d->thread.quit();
    d->thread.wait();
}

} // namespace faciward::testing
