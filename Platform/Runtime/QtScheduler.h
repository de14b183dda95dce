#pragma once

#include "Platform/Reactive/Scheduler.h"

#include <memory>

class QThread;

namespace faciward::platform {

/// @brief The main run loop of the real program: the Qt event loop of the
/// thread that creates it (normally the `QCoreApplication` thread), or of the
/// thread given.
///
/// Timers are `QTimer`s owned by that thread: precise when asked for no
/// tolerance, coarse (Qt's ±5 %) otherwise; a delay is rounded up to whole
/// milliseconds, here and nowhere else. Every call is safe from any thread.
class QtScheduler final : public platform::Scheduler
{
public:
    /// @brief The loop of @p thread (a thread Qt runs), or of the calling
    /// thread when none is given.
    explicit QtScheduler(QThread *thread = nullptr);
    ~QtScheduler() override;

    TimePoint now() const override;
    WallTimePoint wallNow() const override;
    void post(std::function<void()> work) override;
    [[nodiscard]] platform::AnyCancellable postAfter(Duration delay, std::function<void()> work,
                                                     Duration tolerance = Duration::zero()) override;
    [[nodiscard]] platform::AnyCancellable repeatEvery(Duration interval, std::function<void()> work,
                                                       Duration tolerance = Duration::zero()) override;
    bool isCurrent() const override;

private:
    class Private;
    std::unique_ptr<Private> const d;
};

} // namespace faciward::platform
