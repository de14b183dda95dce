#include "QtScheduler.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <limits>

namespace faciward::platform {

namespace {

int toMilliseconds(platform::Scheduler::Duration d)
{
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, std::numeric_limits<int>::max()));
}

// Shared between a timer and its cancellable, so either side can go first.
struct TimerToken
{
    std::atomic<bool> cancelled{false};
    QPointer<QTimer> timer;
};

} // namespace

class QtScheduler::Private
{
public:
    QObject context;

    platform::AnyCancellable startTimer(Duration interval, std::function<void()> work, Duration tolerance,
                                        bool repeating)
    {
        auto token = std::make_shared<TimerToken>();
        auto create = [this, token, interval, work = std::move(work), tolerance, repeating]() mutable {
            if (token->cancelled.load())
                return;
            auto *timer = new QTimer(&context);
            timer->setSingleShot(!repeating);
            timer->setTimerType(tolerance > Duration::zero() ? Qt::CoarseTimer : Qt::PreciseTimer);
            timer->setInterval(toMilliseconds(interval));
            QObject::connect(timer, &QTimer::timeout, timer, [token, timer, repeating, work] {
                if (token->cancelled.load())
                    return;
                if (!repeating)
                    timer->deleteLater();
                work();
            });
            token->timer = timer;
            timer->start();
        };
        if (QThread::currentThread() == context.thread())
            create();
        else
            QMetaObject::invokeMethod(&context, std::move(create), Qt::QueuedConnection);

        QPointer<QObject> guard(&context);
        return platform::AnyCancellable([token, guard, this] {
            token->cancelled.store(true);
            if (!guard)
                return;
            auto destroy = [token] {
                if (token->timer)
                    token->timer->deleteLater();
            };
            if (QThread::currentThread() == context.thread())
                destroy();
            else
                QMetaObject::invokeMethod(&context, destroy, Qt::QueuedConnection);
        });
    }
};

QtScheduler::QtScheduler()
    : d(std::make_unique<Private>())
{
}

QtScheduler::~QtScheduler() = default;

QtScheduler::TimePoint QtScheduler::now() const
{
    return Clock::now();
}

QtScheduler::WallTimePoint QtScheduler::wallNow() const
{
    return std::chrono::system_clock::now();
}

void QtScheduler::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(&d->context, std::move(work), Qt::QueuedConnection);
}

platform::AnyCancellable QtScheduler::postAfter(Duration delay, std::function<void()> work, Duration tolerance)
{
    return d->startTimer(delay, std::move(work), tolerance, false);
}

platform::AnyCancellable QtScheduler::repeatEvery(Duration interval, std::function<void()> work, Duration tolerance)
{
    return d->startTimer(interval, std::move(work), tolerance, true);
}

bool QtScheduler::isCurrent() const
{
    return QThread::currentThread() == d->context.thread();
}

} // namespace faciward::platform
