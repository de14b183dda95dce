#pragma once

#include <memory>

namespace faciward::prefs {

class LifetimeTrackerList;

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
