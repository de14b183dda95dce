#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace faciward::prefs {

class ObjectLifetimeTracker;

/// @brief The trackers attached to one owner, in the order they were attached.
///
/// The owner holds its list and calls releaseAll() when it goes away (Associable
/// does this; QObjectLifetime for QObject owners). Every operation is safe from
/// any thread: the list is guarded by a lock, and trackers are always destroyed
/// (their handlers run) after the lock is let go, so a handler may tie or untie
/// other observations of the same owner.
class LifetimeTrackerList
{
public:
    LifetimeTrackerList() = default;
    /// @brief Releases the trackers still attached, as releaseAll().
    ~LifetimeTrackerList();
    LifetimeTrackerList(const LifetimeTrackerList &) = delete;
    LifetimeTrackerList &operator=(const LifetimeTrackerList &) = delete;

    /// @brief Attaches @p tracker at the end. When the owner is already gone the
    /// tracker is released at once instead (its handler runs).
    void append(std::shared_ptr<ObjectLifetimeTracker> tracker);

    /// @brief Detaches the first occurrence of @p tracker, if any, and hands it
    /// back, so that the caller releases it outside the lock.
    std::shared_ptr<ObjectLifetimeTracker> removeFirst(const ObjectLifetimeTracker *tracker);

    /// @brief The owner is going away: detaches every tracker and releases them in
    /// list order, each running its handler once. Later appends release at once.
    void releaseAll();

    /// @brief True once releaseAll() has run.
    bool isReleased() const;

    /// @brief How many trackers are attached.
    std::size_t size() const;

    /// @brief The position of @p tracker in the list, or size() when it is not attached.
    std::size_t indexOf(const ObjectLifetimeTracker *tracker) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<ObjectLifetimeTracker>> m_trackers;
    bool m_released = false;
};

} // namespace faciward::prefs
