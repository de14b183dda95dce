#include "Platform/Idle/DBus/DBusIdleTimeSource.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/QtEventLoop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using faciward::platform::DBusIdleTimeSource;
using faciward::platform::IdleTimeSource;
using faciward::testing::PrivateSessionBus;

namespace {

// The compositor's idle monitor as the test plays it.
class IdleMonitorObject final : public QDBusVirtualObject
{
public:
    std::atomic<qulonglong> idleMilliseconds{1234};
    std::atomic<int> calls{0};

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != QStringLiteral("org.gnome.Mutter.IdleMonitor") ||
            message.member() != QStringLiteral("GetIdletime"))
            return false;
        ++calls;
        connection.send(message.createReply(QVariant::fromValue(idleMilliseconds.load())));
        return true;
    }
};

// Serves the monitor from a thread of its own, with a connection of its own,
// so that the source under test can make blocking calls from the test thread.
class FakeIdleMonitor
{
public:
    explicit FakeIdleMonitor(const std::string &address)
    {
        m_thread.start();
        m_object = new IdleMonitorObject;
        m_object->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            m_object,
            [this, address] {
                auto connection = QDBusConnection::connectToBus(QString::fromStdString(address), connectionName());
                m_ready = connection.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor")) &&
                          connection.registerVirtualObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                                                           m_object);
            },
            Qt::BlockingQueuedConnection);
    }

    ~FakeIdleMonitor()
    {
        QMetaObject::invokeMethod(
            m_object,
            [this] {
                QDBusConnection::disconnectFromBus(connectionName());
                delete m_object;
            },
            Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    bool ready() const { return m_ready; }
    IdleMonitorObject &object() { return *m_object; }

private:
    static QString connectionName() { return QStringLiteral("fake-idle-monitor"); }

    QThread m_thread;
    IdleMonitorObject *m_object = nullptr;
    bool m_ready = false;
};

} // namespace

class DBusIdleTimeSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FACIWARD_REQUIRE_PROGRAM("dbus-daemon");
        faciward::testing::coreApplication();
        bus = std::make_unique<PrivateSessionBus>();
    }

    std::unique_ptr<PrivateSessionBus> bus;
};

TEST_F(DBusIdleTimeSourceTest, asksTheIdleMonitorAndConvertsMillisecondsToSeconds)
{
    FakeIdleMonitor monitor(bus->address());
    ASSERT_TRUE(monitor.ready());
    DBusIdleTimeSource source(bus->address());
    EXPECT_TRUE(source.isAvailable());
    EXPECT_EQ(source.name(), "the D-Bus idle monitor org.gnome.Mutter.IdleMonitor");
    EXPECT_EQ(source.idleTime(), IdleTimeSource::Seconds(1.234));
    monitor.object().idleMilliseconds = 61000;
    EXPECT_EQ(source.idleTime(), IdleTimeSource::Seconds(61.0));
    EXPECT_EQ(monitor.object().calls.load(), 3);
}

TEST_F(DBusIdleTimeSourceTest, withoutAMonitorOnTheBusItIsUnavailableAndSaysUnknown)
{
    DBusIdleTimeSource source(bus->address());
    EXPECT_FALSE(source.isAvailable());
    EXPECT_EQ(source.idleTime(), std::nullopt);
}

TEST(DBusIdleTimeSource, withoutABusItIsUnavailableAndSaysUnknown)
{
    faciward::testing::coreApplication();
    DBusIdleTimeSource source(std::string("unix:path=/nonexistent/faciward-bus"));
    EXPECT_FALSE(source.isAvailable());
    EXPECT_EQ(source.idleTime(), std::nullopt);
}
