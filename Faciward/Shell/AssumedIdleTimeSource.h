#pragma once

#include "Platform/Idle/IdleTimeSource.h"
#include "Platform/Reactive/Scheduler.h"

namespace faciward::shell {

/// @brief The idle time of a machine nobody uses: the input devices count as
/// untouched since the source was made. For machines without a display, where
/// no system source can tell (`faciward run --assume-idle`).
class AssumedIdleTimeSource final : public platform::IdleTimeSource
{
public:
    /// @param clock whose monotonic time the idle time is measured on.
    explicit AssumedIdleTimeSource(const platform::Scheduler &clock);

    std::string name() const override;
    /// @brief Always true.
    bool isAvailable() override;
    /// @brief The seconds since the source was made.
    std::optional<Seconds> idleTime() override;

private:
    const platform::Scheduler &m_clock;
    const platform::Scheduler::TimePoint m_since;
};

} // namespace faciward::shell
