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

void postToMainAfter(std::chrono::milliseconds delay, std::function<void()> work)
{
    // The timer must be made on the main thread: a QTimer made on a thread that
    // Qt did not start never fires.
    postToMain([delay, work = std::move(work)]() mutable {
        QTimer::singleShot(delay, Qt::PreciseTimer, QCoreApplication::instance(), std::move(work));
    });
}

std::chrono::milliseconds toMilliseconds(std::chrono::duration<double> seconds)
{
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(std::max(0.0, seconds.count()) * 1000.0)));
}

} // namespace faciward::helpers
