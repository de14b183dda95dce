#pragma once

#include <functional>
#include <memory>
#include <mutex>

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

} // namespace faciward::prefs
