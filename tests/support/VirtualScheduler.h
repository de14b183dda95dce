#pragma once

#include "Platform/Reactive/Scheduler.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace faciward::testing {

/// @brief A scheduler on which time moves only when the test says so.
///
/// Timers fire in due order (creation order for equal times), with `now()` set
/// to their due time; repeating timers re-arm at due + interval, so they never
/// drift. `post` is safe from any thread; everything else belongs to the test's
/// thread, which is the scheduler's own.
class VirtualScheduler final : public platform::Scheduler
{
public:
    VirtualScheduler();

    TimePoint now() const override;
    WallTimePoint wallNow() const override;
    void post(std::function<void()> work) override;
    [[nodiscard]] platform::AnyCancellable postAfter(Duration delay, std::function<void()> work,
                                                     Duration tolerance = Duration::zero()) override;
    [[nodiscard]] platform::AnyCancellable repeatEvery(Duration interval, std::function<void()> work,
                                                       Duration tolerance = Duration::zero()) override;
    bool isCurrent() const override;

    /// @brief Runs posted work, timers due by now + @p d in order, and leaves now at now + @p d.
    void advanceBy(Duration d);
    void advanceBy(double seconds) { advanceBy(platform::seconds(seconds)); }
    void advanceTo(TimePoint t);
    /// @brief Runs the posted work (and what it posts) without moving time.
    void runPending();
    /// @brief Waits in real time until something is posted from another thread, then runs it.
    /// Returns false if nothing came within @p realTimeout.
    bool waitForPost(std::chrono::milliseconds realTimeout);
    /// @brief Moves the calendar clock alone, as a user changing the clock would.
    void jumpWall(Duration d);
    /// @brief Sets the calendar time that corresponds to the current monotonic time.
    void setWallNow(WallTimePoint t);

    /// @brief Seconds of virtual time since the scheduler was made.
    double elapsed() const;
    std::size_t pendingTimers() const;

private:
    struct Timer
    {
        std::function<void()> work;
        Duration interval{};
        bool repeating = false;
        bool cancelled = false;
    };
    using Key = std::pair<TimePoint, std::uint64_t>;

    bool runOnePost();
    platform::AnyCancellable schedule(Duration delay, Duration interval, bool repeating, std::function<void()> work);

    const TimePoint m_start;
    TimePoint m_now;
    WallTimePoint m_wallBase;
    std::thread::id m_owner;
    std::uint64_t m_sequence = 0;
    std::map<Key, std::shared_ptr<Timer>> m_timers;

    mutable std::mutex m_inboxMutex;
    std::condition_variable m_inboxCondition;
    std::deque<std::function<void()>> m_inbox;
};

} // namespace faciward::testing
