#include "MainQueue.h"

#include "FatalError.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace faciward::helpers {

void postToMain(std::function<void()> work)
{
    auto *application = QCoreApplication::instance();
    if (!application)
        fatalError("The main queue needs the application object");
    // A queued call on the application object runs on its thread, in posting order.
    QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

namespace {

void waitThenRun(std::chrono::milliseconds remaining, std::function<void()> work)
{
    const std::chrono::milliseconds step = timerStep(remaining);
    QTimer::singleShot(step, Qt::PreciseTimer, QCoreApplication::instance(),
                       [rest = remaining - step, work = std::move(work)]() mutable {
                           if (rest > std::chrono::milliseconds::zero())
                               waitThenRun(rest, std::move(work));
                           else
                               work();
                       });
}

} // namespace

void postToMainAfter(std::chrono::milliseconds delay, std::function<void()> work)
{
    // The timer must be made on the main thread: a QTimer made on a thread that
    // Qt did not start never fires.
    postToMain([delay, work = std::move(work)]() mutable {
        if (delay == kNever)
            return; // what the work holds goes here, on the main thread
        waitThenRun(std::max(delay, std::chrono::milliseconds::zero()), std::move(work));
    });
}

std::chrono::milliseconds timerStep(std::chrono::milliseconds remaining)
{
    return std::clamp(remaining, std::chrono::milliseconds::zero(), kLongestTimerWait);
}

std::chrono::milliseconds toMilliseconds(std::chrono::duration<double> seconds)
{
    const double milliseconds = std::ceil(seconds.count() * 1000.0);
    if (!(milliseconds > 0.0)) // NaN too
        return std::chrono::milliseconds::zero();
    if (milliseconds >= static_cast<double>(kNever.count()))
        return kNever;
    return std::chrono::milliseconds(static_cast<long long>(milliseconds));
}

} // namespace faciward::helpers
