#include "DBusScreenLockSignals.h"

#include "DBusScreenLockSignals_p.h"

#include "Platform/Runtime/Diagnostics.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QString>

#include <atomic>
#include <cstdio>
#include <vector>

namespace faciward::platform {

namespace {

// The desktops that announce screen locking this way; GNOME uses its own name,
// KDE, Xfce and others the freedesktop one (at /ScreenSaver or /org/freedesktop/ScreenSaver).
const char *const screenSaverInterfaces[] = {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"};

// How long the question for the screen saver's state may hold up the start. A
// screen saver answers at once; one that hangs must not keep the guard from starting.
constexpr int stateQueryTimeoutMs = 1000;

// Asks every screen saver that is there for its state, all at once, and waits
// for the answers: locked when one says so, unlocked when one answered and none
// says locked, unknown when none answered.
std::optional<bool> askState(const QDBusConnection &connection)
{
    std::vector<QDBusPendingCall> calls;
    for (const char *interface : screenSaverInterfaces) {
        const QString name = QString::fromLatin1(interface);
        QDBusMessage question = QDBusMessage::createMethodCall(
            name, QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/')), name,
            QStringLiteral("GetActive"));
        // A desktop without this screen saver must not have one started for the question.
        question.setAutoStartService(false);
        calls.push_back(connection.asyncCall(question, stateQueryTimeoutMs));
    }
    std::optional<bool> state;
    for (auto &call : calls) {
        call.waitForFinished();
        const QDBusMessage reply = call.reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
            reply.arguments().front().typeId() != QMetaType::Bool)
            continue;
        state = state.value_or(false) || reply.arguments().front().toBool();
    }
    return state;
}

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
    std::optional<bool> initialActive;
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
    // The match rules went out before the questions on the same connection, so
    // once the bus has answered them (or routed them) the rules are in force:
    // nothing sent from now on is missed, and a change after the answer comes
    // as a signal.
    d->initialActive = askState(connection);
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

std::optional<bool> DBusScreenLockSignals::initialActive() const
{
    return d->initialActive;
}

bool DBusScreenLockSignals::isListening() const
{
    return d->listening;
}

} // namespace faciward::platform
