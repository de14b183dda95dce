#pragma once

#include <memory>

class QObject;

namespace faciward::prefs {

class LifetimeTrackerList;

/// @brief Lets any QObject own tied observations (PrefsObservation::tieToOwner):
/// its tracker list is made on first use and released, each handler running once,
/// when the object is destroyed, on the thread that destroys it.
class QObjectLifetime
{
public:
    QObjectLifetime() = delete;

    /// @brief The tracker list of @p owner, which must be alive. Safe from any thread.
    static std::shared_ptr<LifetimeTrackerList> trackersOf(QObject *owner);
};

} // namespace faciward::prefs
