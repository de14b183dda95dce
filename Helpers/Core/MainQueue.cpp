#include "MainQueue.h"

#include "FatalError.h"

#include "Platform/Runtime/QtScheduler.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace faciward::helpers {

platform::Scheduler &mainScheduler()
{
    platform::QtScheduler *scheduler = platform::QtScheduler::ofApplication();
    if (!scheduler)
        fatalError("The main queue needs the application object");
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

void postAfter(platform::Scheduler &scheduler, Delay delay, std::function<void()> work)
{
    // The wait starts on the scheduler's thread, after what was posted before.
    scheduler.post([&scheduler, delay, work = std::move(work)]() mutable {
        if (delay == kNever)
            return; // what the work holds goes here, on the scheduler's thread
        // The timer lives as long as its work: the work holds the cancellable
        // that would stop the timer.
        auto timer = std::make_shared<platform::AnyCancellable>();
        *timer = scheduler.postAfter(std::max(delay, Delay::zero()), [timer, work = std::move(work)] { work(); });
    });
}

void postToMainAfter(Delay delay, std::function<void()> work)
{
    postAfter(mainScheduler(), delay, std::move(work));
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
