#pragma once

#include "Platform/Reactive/Scheduler.h"

#include <limits>
#include <memory>

class QThread;

namespace faciward::platform {

/// @brief The main run loop of the real program: the Qt event loop of the
/// thread that creates it (normally the `QCoreApplication` thread), or of the
/// thread given.
///
/// Timers are precise `QTimer`s owned by that thread, whatever tolerance is
/// given: Qt's coarse timers may fire up to 5 % early, and a timer here never
/// fires early. A delay is rounded up to whole milliseconds, here and nowhere
/// else; one longer than a Qt timer can wait (timerStep()) is waited in steps.
/// Every call is safe from any thread.
class QtScheduler final : public platform::Scheduler
{
public:
    /// @brief The loop of @p thread (a thread Qt runs), or of the calling
    /// thread when none is given.
    explicit QtScheduler(QThread *thread = nullptr);
    ~QtScheduler() override;

    /// @brief The scheduler of the application's thread (the Qt event loop of
    /// the `QCoreApplication`), made on first use for the whole process,
    /// whichever thread asks first; null while no application object exists.
    /// The one way work reaches the main thread from elsewhere.
    static QtScheduler *ofApplication();

    TimePoint now() const override;
    WallTimePoint wallNow() const override;
    void post(std::function<void()> work) override;
    [[nodiscard]] platform::AnyCancellable postAfter(Duration delay, std::function<void()> work,
                                                     Duration tolerance = Duration::zero()) override;
    [[nodiscard]] platform::AnyCancellable repeatEvery(Duration interval, std::function<void()> work,
                                                       Duration tolerance = Duration::zero()) override;
    bool isCurrent() const override;

    /// @brief The longest wait of one Qt timer, whose interval is an int of
    /// milliseconds: about 24.8 days.
    static constexpr Duration longestTimerWait = std::chrono::milliseconds(std::numeric_limits<int>::max());

    /// @brief The next step of a wait with @p remaining left: all of it when
    /// one timer can wait that long, else the longest a timer can.
    static Duration timerStep(Duration remaining);

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
