#include "ObservableBase.h"

#include "Platform/Runtime/QtScheduler.h"

#include <QPointer>

namespace faciward::prefs {

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
        // Another thread's change reaches the views on the main thread, through
        // the one hand-over to it.
        platform::QtScheduler *main = platform::QtScheduler::ofApplication();
        if (!main || main->isCurrent())
            signal();
        else
            main->post(std::move(signal));
    };
}

} // namespace faciward::prefs
