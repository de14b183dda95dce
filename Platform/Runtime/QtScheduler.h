#pragma once

#include "Platform/Reactive/Scheduler.h"

#include <memory>

namespace faciward::platform {

/// @brief The main run loop of the real program: the Qt event loop of the
/// thread that creates it (normally the `QCoreApplication` thread).
///
/// Timers are `QTimer`s owned by that thread: precise when asked for no
/// tolerance, coarse (Qt's ±5 %) otherwise. Every call is safe from any thread.
class QtScheduler final : public platform::Scheduler
{
public:
    QtScheduler();
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
