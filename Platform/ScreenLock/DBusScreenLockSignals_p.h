#pragma once

#include "Platform/Reactive/PassthroughSubject.h"

#include <QObject>

namespace faciward::platform {

// Receives the bus signals on the thread it lives on, and passes them on.
class DBusScreenLockReceiver : public QObject
{
    Q_OBJECT

public:
    explicit DBusScreenLockReceiver(const platform::PassthroughSubject<bool> &subject)
        : m_subject(subject)
    {
    }

public Q_SLOTS:
    void activeChanged(bool active) { m_subject.send(active); }

private:
    const platform::PassthroughSubject<bool> &m_subject;
};

} // namespace faciward::platform
