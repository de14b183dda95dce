#pragma once

#include "Platform/Reactive/AnyCancellable.h"
#include "Platform/Reactive/PassthroughSubject.h"
#include "Platform/Reactive/Scheduler.h"

#include <cstdint>
#include <functional>

namespace faciward::presence {

/// @brief Counts whole seconds down to zero on the main scheduler, publishing
/// the remaining count on start and after every tick, and calling a completion
/// when zero is reached.
///
/// A count-down started at 0 publishes 0 and completes on the next turn of the
/// loop; it never ticks, so the count never goes below zero. Ticks use a timer
/// without tolerance. Destroying a running count-down stops it.
///
/// Main thread only (the scheduler's thread).
class CountDown
{
public:
    explicit CountDown(platform::Scheduler &scheduler);
    CountDown(const CountDown &) = delete;
    CountDown &operator=(const CountDown &) = delete;

    /// @brief Starts counting @p count ticks of @p interval (callers use one
    /// second), replacing a running count-down and its completion.
    /// Publishes @p count at once.
    void start(std::uint64_t count, platform::Scheduler::Duration interval, std::function<void()> completion);

    /// @brief Stops ticking. Publishes nothing; the count and the completion stay.
    void cancel();

    /// @brief The seconds still to run (the last value published).
    std::uint64_t count() const { return m_count; }
    /// @brief True from a start until zero is reached or the count-down is cancelled.
    bool isRunning() const { return m_timer.isActive(); }

    /// @brief The published counts. Nothing is replayed to a new receiver: read count().
    platform::Publisher<std::uint64_t> publisher() const { return m_subject.publisher(); }
    const platform::PassthroughSubject<std::uint64_t> &subject() const { return m_subject; }

private:
    void tick();
    void finish();

    platform::Scheduler &m_scheduler;
    std::uint64_t m_count = 0;
    platform::PassthroughSubject<std::uint64_t> m_subject;
    std::function<void()> m_completed;
    platform::AnyCancellable m_timer;
};

} // namespace faciward::presence
