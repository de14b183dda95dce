#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The lifetime ties of the settings observations, owner side: a tracker keeps
// one target alive and runs a handler when it goes; an owner's list holds its
// trackers; Associable is an owner that releases its list when destroyed.
// LifetimeAssociation makes the ties.

namespace faciward::prefs {

/// @brief Keeps a target alive, and runs a handler when it is destroyed itself:
/// first the handler, then the target is released. An owner's list of trackers
/// holds them (LifetimeTrackerList); LifetimeAssociation makes them.
class ObjectLifetimeTracker
{
public:
    ObjectLifetimeTracker(std::shared_ptr<void> object, std::function<void()> deinitHandler);
    ~ObjectLifetimeTracker();
    ObjectLifetimeTracker(const ObjectLifetimeTracker &) = delete;
    ObjectLifetimeTracker &operator=(const ObjectLifetimeTracker &) = delete;

    /// @brief Replaces the handler; safe from any thread.
    void setDeinitHandler(std::function<void()> deinitHandler);

private:
    std::mutex m_mutex;
    std::shared_ptr<void> m_object;
    std::function<void()> m_deinitHandler;
};

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

    /// @brief True once releaseAll() has run. Public for tests, which check that
    /// an owner released its ties.
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

/// @brief An object that other objects (observations, typically) can be tied to:
/// they live as long as it does and are told when it goes.
///
/// Derive from it, or hold it as the last member, so that the ties end before
/// the rest of the owner is destroyed. Its trackers are released, each running
/// its handler, when it is destroyed. Safe to tie to from any thread.
class Associable
{
public:
    Associable();
    ~Associable();
    Associable(const Associable &) = delete;
    Associable &operator=(const Associable &) = delete;

    /// @brief The owner's list of trackers.
    const std::shared_ptr<LifetimeTrackerList> &lifetimeTrackers() const { return m_trackers; }

private:
    const std::shared_ptr<LifetimeTrackerList> m_trackers;
};

} // namespace faciward::prefs
