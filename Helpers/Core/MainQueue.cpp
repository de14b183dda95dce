#include "MainQueue.h"

#include "FatalError.h"

#include "Platform/Runtime/QtScheduler.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace faciward::helpers {

platform::Scheduler &mainScheduler()
{
    static std::once_flag made;
    static std::unique_ptr<platform::QtScheduler> scheduler;
    std::call_once(made, [] {
        auto *application = QCoreApplication::instance();
        if (!application)
            fatalError("The main queue needs the application object");
        // The application's thread, whichever thread asks first.
        scheduler = std::make_unique<platform::QtScheduler>(application->thread());
    });
    return *scheduler;
}

platform::Scheduler &schedulerOrMain(platform::Scheduler *given)
{
    return given ? *given : mainScheduler();
}

void postToMain(std::function<void()> work)
{
    mainScheduler().post(std::move(work));
}

namespace {

// On the scheduler's thread: one step of the wait, then the next or the work.
void waitThenRun(platform::Scheduler &scheduler, Delay remaining, std::function<void()> work)
{
    const Delay step = timerStep(remaining);
    // The timer lives as long as its work: the work holds the cancellable that
    // would stop the timer, and lets it go once it has run.
    auto timer = std::make_shared<platform::AnyCancellable>();
    *timer = scheduler.postAfter(step, [&scheduler, timer, rest = remaining - step, work = std::move(work)]() mutable {
        if (rest > Delay::zero())
            waitThenRun(scheduler, rest, std::move(work));
        else
            work();
    });
}

} // namespace

void postAfter(platform::Scheduler &scheduler, Delay delay, std::function<void()> work)
{
    // The wait starts on the scheduler's thread, after what was posted before.
    scheduler.post([&scheduler, delay, work = std::move(work)]() mutable {
        if (delay == kNever)
            return; // what the work holds goes here, on the scheduler's thread
        waitThenRun(scheduler, std::max(delay, Delay::zero()), std::move(work));
    });
}

void postToMainAfter(Delay delay, std::function<void()> work)
{
    postAfter(mainScheduler(), delay, std::move(work));
}

Delay timerStep(Delay remaining)
{
    return std::clamp(remaining, Delay::zero(), kLongestTimerWait);
}

Delay toDelay(std::chrono::duration<double> seconds)
{
    const std::chrono::duration<double, Delay::period> counted = seconds;
    if (!(counted.count() > 0.0)) // NaN too
        return Delay::zero();
    if (counted.count() >= static_cast<double>(kNever.count()))
        return kNever;
    return Delay(static_cast<Delay::rep>(std::ceil(counted.count())));
}

} // namespace faciward::helpers
