#pragma once

#include "Platform/Idle/IdleTimeSource.h"
#include "Platform/Reactive/Scheduler.h"

#include <optional>

namespace faciward::testing {

/// @brief An idle-time source for tests: a fixed answer, or the time since
/// the last `input()` on a scheduler's clock. Unknown until told otherwise.
class FakeIdleTimeSource final : public platform::IdleTimeSource
{
public:
    FakeIdleTimeSource() = default;
    explicit FakeIdleTimeSource(std::optional<Seconds> idle);

    /// @brief Answers @p idle from now on (nullopt: unknown); stops following a clock.
    void setIdleTime(std::optional<Seconds> idle);
    void setIdleTime(double seconds) { setIdleTime(Seconds(seconds)); }
    /// @brief Answers the time since the last input on @p clock; the last input is now.
    void followClock(const platform::Scheduler &clock);
    /// @brief The user touched a device now (when following a clock).
    void input();
    void setAvailable(bool available) { m_available = available; }
    void setName(std::string name) { m_name = std::move(name); }

    /// @brief How many times `idleTime()` was asked.
    int queries() const { return m_queries; }

    std::string name() const override { return m_name; }
    bool isAvailable() override { return m_available; }
    std::optional<Seconds> idleTime() override;

private:
    std::optional<Seconds> m_idle;
    const platform::Scheduler *m_clock = nullptr;
    platform::Scheduler::TimePoint m_lastInput{};
    bool m_available = true;
    std::string m_name = "fake idle time";
    int m_queries = 0;
};

} // namespace faciward::testing
