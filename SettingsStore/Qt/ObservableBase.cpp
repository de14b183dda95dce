#include "ObservableBase.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <mutex>

namespace faciward::prefs {

namespace {

// Posts from other threads one at a time. Qt orders concurrent posts with a lock
// of its own that thread checkers cannot see; this one they can, and it costs
// nothing at the rate settings change.
std::mutex &postMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

ObservableBase::ObservableBase(QObject *parent)
    : QObject(parent)
{
}

ObservableBase::~ObservableBase() = default;

std::function<void(bool isPrior)> ObservableBase::relay()
{
    // The guard is only ever read on the main thread, where the object is made
    // and destroyed; other threads merely copy it along.
    QPointer<ObservableBase> guard(this);
    return [guard](bool isPrior) {
        auto signal = [guard, isPrior] {
            ObservableBase *target = guard.data();
            if (!target)
                return;
            if (isPrior)
                Q_EMIT target->willChange();
            else
                Q_EMIT target->changed();
        };
        QCoreApplication *application = QCoreApplication::instance();
        if (!application || QThread::currentThread() == application->thread()) {
            signal();
        } else {
            std::lock_guard lock(postMutex());
            QMetaObject::invokeMethod(application, std::move(signal), Qt::QueuedConnection);
        }
    };
}

} // namespace faciward::prefs
