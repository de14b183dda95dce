#include "DBusScreenLockSignals.h"

#include "DBusScreenLockSignals_p.h"

#include "Platform/Runtime/Diagnostics.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>

#include <atomic>
#include <cstdio>

namespace faciward::platform {

namespace {

// The desktops that announce screen locking this way; GNOME uses its own name,
// KDE, Xfce and others the freedesktop one (at /ScreenSaver or /org/freedesktop/ScreenSaver).
const char *const screenSaverInterfaces[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"};

QString uniqueConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("faciward-screenlock-%1").arg(++counter);
}

void sayInert(const QString &why)
{
    Diagnostics::print("screen lock: " + why.toStdString() + "; screen lock and unlock will not be seen");
}

} // namespace

class DBusScreenLockSignals::Private
{
public:
    platform::PassthroughSubject<bool> subject;
    DBusScreenLockReceiver receiver{subject};
    QString privateName;
    bool listening = false;
};

DBusScreenLockSignals::DBusScreenLockSignals(std::optional<std::string> busAddress)
    : d(std::make_unique<Private>())
{
    QDBusConnection connection = [&] {
        if (!busAddress)
            return QDBusConnection::sessionBus();
        d->privateName = uniqueConnectionName();
        return QDBusConnection::connectToBus(QString::fromStdString(*busAddress), d->privateName);
    }();
    if (!connection.isConnected()) {
        const QString error = connection.lastError().message();
        sayInert(error.isEmpty() ? QStringLiteral("no session bus") : QStringLiteral("no session bus (%1)").arg(error));
        return;
    }

    // An empty service and path match every sender: the signal comes from the
    // screen saver's unique name, and test senders own no well-known name.
    bool connected = true;
    for (const char *interface : screenSaverInterfaces) {
        connected = connection.connect(QString(), QString(), QString::fromLatin1(interface),
                                       QStringLiteral("ActiveChanged"), &d->receiver, SLOT(activeChanged(bool))) &&
                    connected;
    }
    if (!connected) {
        sayInert(QStringLiteral("cannot listen on the session bus (%1)").arg(connection.lastError().message()));
        return;
    }
    // The match rules went out before this call on the same connection, so once
    // the bus has answered it they are in force: nothing sent from now on is missed.
    connection.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                   QStringLiteral("/org/freedesktop/DBus"),
                                                   QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
                    QDBus::Block, 2000);
    d->listening = true;
}

DBusScreenLockSignals::~DBusScreenLockSignals()
{
    if (!d->privateName.isEmpty())
        QDBusConnection::disconnectFromBus(d->privateName);
}

platform::Publisher<bool> DBusScreenLockSignals::activeChanged() const
{
    return d->subject.publisher();
}

bool DBusScreenLockSignals::isListening() const
{
    return d->listening;
}

} // namespace faciward::platform
