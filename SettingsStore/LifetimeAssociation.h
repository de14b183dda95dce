#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace faciward::prefs {

class Associable;
class LifetimeTrackerList;
class ObjectLifetimeTracker;

/// @brief Keeps a target alive for as long as an owner lives, and runs a handler
/// when the owner goes away, without the owner knowing of it.
///
/// The owner's tracker list holds a tracker, the tracker holds the target; the
/// association holds both weakly. When the owner goes, the tracker runs the
/// handler and then releases the target. Every operation is safe from any thread.
class LifetimeAssociation
{
public:
    /// @brief Ties @p target to @p owner: appends a tracker of @p target and
    /// @p deinitHandler at the end of the owner's list.
    LifetimeAssociation(std::shared_ptr<void> target, const std::shared_ptr<LifetimeTrackerList> &owner,
                        std::function<void()> deinitHandler);
    LifetimeAssociation(std::shared_ptr<void> target, const Associable &owner, std::function<void()> deinitHandler);
    /// @brief Removes the tie if it still holds: the handler then runs at once, as
    /// if the owner had gone.
    ~LifetimeAssociation();
    LifetimeAssociation(const LifetimeAssociation &) = delete;
    LifetimeAssociation &operator=(const LifetimeAssociation &) = delete;

    /// @brief Unties without running the handler: the target is released. Idempotent.
    void cancel();

    /// @brief True while the owner's list holds this association's tracker.
    bool isTied() const;

    /// @brief This association's tracker, while it lives (for finding it in the owner's list).
    std::shared_ptr<ObjectLifetimeTracker> tracker() const;

private:
    void removeTie();

    mutable std::mutex m_mutex; // guards the two weak references; never held while a tracker is destroyed
    std::weak_ptr<ObjectLifetimeTracker> m_tracker;
    std::weak_ptr<LifetimeTrackerList> m_owner;
};

} // namespace faciward::prefs
