#include "QtScheduler.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>

namespace faciward::platform {

namespace {

// The one rule for work handed to a loop from another thread: the poster takes
// this lock around the post, and the loop takes it again before it runs the
// work. Qt's event queue orders the hand-over with locks of its own that the
// thread checker cannot see (futexes in an uninstrumented library), so it
// would report the work's captured state as raced. A lock taken by the poster
// alone orders the posters among themselves but not the poster with the loop:
// both sides must take it. It costs one uncontended lock per post.
std::mutex &handOverMutex()
{
    static std::mutex mutex;
    return mutex;
}

void handOver(QObject &context, std::function<void()> work)
{
    std::lock_guard posting(handOverMutex());
    QMetaObject::invokeMethod(
        &context,
        [work = std::move(work)] {
            { std::lock_guard taken(handOverMutex()); }
            work();
        },
        Qt::QueuedConnection);
}

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

    platform::AnyCancellable startTimer(Duration interval, std::function<void()> work, bool repeating)
    {
        auto token = std::make_shared<TimerToken>();
        auto create = [this, token, interval, work = std::move(work), repeating]() mutable {
            arm(token, interval, interval, repeating, std::make_shared<std::function<void()>>(std::move(work)));
        };
        if (QThread::currentThread() == context.thread())
            create();
        else
            handOver(context, std::move(create));

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
                handOver(context, destroy);
        });
    }

private:
    // On the loop's thread: waits @p remaining of the period @p interval, in
    // steps where one timer cannot wait that long, then runs the work. A
    // repeating timer whose period one timer can wait is one repeating QTimer.
    void arm(std::shared_ptr<TimerToken> token, Duration remaining, Duration interval, bool repeating,
             std::shared_ptr<std::function<void()>> work)
    {
        if (token->cancelled.load())
            return;
        const Duration step = timerStep(remaining);
        const bool oneRepeatingTimer = repeating && remaining == interval && step == interval;
        auto *timer = new QTimer(&context);
        timer->setSingleShot(!oneRepeatingTimer);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(toMilliseconds(step));
        QObject::connect(timer, &QTimer::timeout, timer,
                         [this, token, timer, rest = remaining - step, interval, repeating, oneRepeatingTimer, work] {
                             if (token->cancelled.load())
                                 return;
                             if (oneRepeatingTimer) {
                                 (*work)();
                                 return;
                             }
                             timer->deleteLater();
                             if (rest > Duration::zero()) {
                                 arm(token, rest, interval, repeating, work);
                                 return;
                             }
                             if (repeating)
                                 arm(token, interval, interval, repeating, work);
                             (*work)();
                         });
        token->timer = timer;
        timer->start();
    }
};

QtScheduler::QtScheduler(QThread *thread)
    : d(std::make_unique<Private>())
{
    if (thread)
        d->context.moveToThread(thread);
}

QtScheduler::~QtScheduler() = default;

QtScheduler *QtScheduler::ofApplication()
{
    static std::mutex made;
    static std::unique_ptr<QtScheduler> scheduler;
    std::lock_guard lock(made);
    if (!scheduler) {
        const QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return nullptr;
        scheduler = std::make_unique<QtScheduler>(application->thread());
    }
    return scheduler.get();
}

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
    handOver(d->context, std::move(work));
}

// The tolerance is not used: see the class comment.
platform::AnyCancellable QtScheduler::postAfter(Duration delay, std::function<void()> work, Duration /*tolerance*/)
{
    return d->startTimer(delay, std::move(work), false);
}

platform::AnyCancellable QtScheduler::repeatEvery(Duration interval, std::function<void()> work, Duration /*tolerance*/)
{
    return d->startTimer(interval, std::move(work), true);
}

QtScheduler::Duration QtScheduler::timerStep(Duration remaining)
{
    return std::clamp(remaining, Duration::zero(), longestTimerWait);
}

bool QtScheduler::isCurrent() const
{
    return QThread::currentThread() == d->context.thread();
}

} // namespace faciward::platform
